#include "update/relaunch.h"

#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>

#include "common/debuglog.h"
#include "common/spawn.h"
#include "update/commandline.h"

pid_t startupdate(const pendingupdate &update) {
  auto words = splitcommandline(update.command);
  if (!words || words->empty() || words->front().empty()) {
    debugout("update: cannot read the command line: " + update.command);
    return -1;
  }
  const std::string program = words->front();
  if (!update.installer) {
    debugout("update: the installer " + program + " is not open");
    return -1;
  }
  // The descriptor is the file checked; the path may lead elsewhere by now.
  // spawnprocess hands it over as descriptor 3, without close-on-exec: a
  // script's interpreter opens it again by that name.
  words->front() = "/proc/self/fd/3";
  pid_t pid = -1;
  // The installer outlives this program.
  if (const int err = spawnprocess(*words, spawnmode::detached, pid, update.installer.get())) {
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
