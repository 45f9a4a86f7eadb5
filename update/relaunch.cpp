#include "update/relaunch.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>

#include "common/debuglog.h"
#include "common/spawn.h"
#include "update/commandline.h"

namespace {

// Adds the owner's execute bit; other bits stay as they are.
bool makeexecutable(const std::string &path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  if (st.st_mode & S_IXUSR) return true;
  return chmod(path.c_str(), (st.st_mode & 07777) | S_IXUSR) == 0;
}

}  // namespace

pid_t startupdatecommand(const std::string &command) {
  const auto words = splitcommandline(command);
  if (!words || words->empty() || words->front().empty()) {
    debugout("update: cannot read the command line: " + command);
    return -1;
  }
  const std::string &program = words->front();
  if (!makeexecutable(program)) debugout("update: cannot make " + program + " executable: " + std::strerror(errno));

  // The installer outlives this program.
  pid_t pid = -1;
  if (const int err = spawnprocess(*words, spawnmode::detached, pid)) {
    debugout("update: cannot start " + program + ": " + std::strerror(err));
    return -1;
  }
  return pid;
}

restartonexit::restartonexit(std::string executable, std::vector<std::string> arguments) {
  argv.push_back(std::move(executable));
  argv.insert(argv.end(), std::make_move_iterator(arguments.begin()), std::make_move_iterator(arguments.end()));
}

restartonexit::~restartonexit() {
  if (!requested) return;
  pid_t pid = -1;
  if (argv.front().empty()) {
    debugout("update: the installer did not start, and this program's own file is unknown: not started again");
  } else if (const int err = spawnprocess(argv, spawnmode::detached, pid)) {
    debugout("update: the installer did not start, and starting " + argv.front() +
             " again failed: " + std::strerror(err));
  } else {
    debugout("update: the installer did not start; the program started again as process " + std::to_string(pid) + ": " +
             argv.front());
  }
}

void restartonexit::request() { requested = true; }
