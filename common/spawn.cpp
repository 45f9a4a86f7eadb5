#include "common/spawn.h"

#include <signal.h>
#include <spawn.h>

#include <cerrno>

#include "common/debuglog.h"

extern char **environ;

namespace {

// The attributes of a detached program.
int setdetached(posix_spawnattr_t &attr) {
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  if (const int e = posix_spawnattr_setsigmask(&attr, &none)) return e;
  if (const int e = posix_spawnattr_setsigdefault(&attr, &all)) return e;
  return posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

}  // namespace

int spawnprocess(const std::vector<std::string> &argv, spawnmode mode, pid_t &pid) {
  return spawnprocess(argv, mode, pid, -1);
}

int spawnprocess(const std::vector<std::string> &argv, spawnmode mode, pid_t &pid, int passfd) {
  if (argv.empty()) return EINVAL;
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (const int e = posix_spawn_file_actions_init(&actions)) return e;
  if (const int terminal = debugterminal(); mode == spawnmode::detached && terminal != 2) {
    if (const int e = posix_spawn_file_actions_adddup2(&actions, terminal, 2)) {
      posix_spawn_file_actions_destroy(&actions);
      return e;
    }
  }
  // dup2 onto itself (passfd 3) clears close-on-exec, as POSIX asks.
  int error = passfd >= 0 ? posix_spawn_file_actions_adddup2(&actions, passfd, 3) : 0;
  if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&actions, passfd >= 0 ? 4 : 3);
  posix_spawnattr_t attr;
  if (error == 0) error = posix_spawnattr_init(&attr);
  if (error == 0) {
    if (mode == spawnmode::detached) error = setdetached(attr);
    if (error == 0) error = posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
  }
  posix_spawn_file_actions_destroy(&actions);
  return error;
}
