#include "update/relaunch.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/debuglog.h"
#include "update/commandline.h"

extern char **environ;

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
  if (!makeexecutable(program))
    debugout("update: cannot make " + program + " executable: " + std::strerror(errno));

  std::vector<char *> argv;
  for (const std::string &w : *words) argv.push_back(const_cast<char *>(w.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The installer outlives this program: give it its own session, the
  // default signal dispositions and an empty signal mask.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  pid_t pid = -1;
  const int err = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (err != 0) {
    debugout("update: cannot start " + program + ": " + std::strerror(err));
    return -1;
  }
  return pid;
}
