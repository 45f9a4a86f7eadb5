#include "common/logfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/ownfiles.h"

namespace {

std::string withoutslashes(std::string_view dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.remove_suffix(1);
  return std::string(dir);
}

std::string envof(const char *name) {
  const char *v = std::getenv(name);
  return v ? v : "";
}

// The earlier run's file keeps what it held (sign-in targets, plugin data):
// a log an older version left readable to others is closed to them now.
void closetoothers(int dirfd, const char *name) {
  const ownedfd earlier(::openat(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (earlier && ::fstat(earlier.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
    ::fchmod(earlier.get(), st.st_mode & 0700);
}

}  // namespace

int startrunlog(int dirfd, std::string_view name) {
  const std::string file(name), earlier = file + ".1";
  // A rename that replaces a file makes ext4 write the renamed file's data
  // out at once, which would hold up the start: the oldest file goes first,
  // when the last run's file is ours to move.
  struct stat last {};
  if (::fstatat(dirfd, file.c_str(), &last, AT_SYMLINK_NOFOLLOW) == 0 && last.st_uid == ::geteuid())
    ::unlinkat(dirfd, earlier.c_str(), 0);
  // Where the old file cannot be moved away (another user's, in a directory
  // with the sticky bit), creating the new one fails below.
  if (::renameat(dirfd, file.c_str(), dirfd, earlier.c_str()) == 0) closetoothers(dirfd, earlier.c_str());
  return ::openat(dirfd, file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
}

std::string statelogdir(std::string_view xdgstatehome, std::string_view home) {
  if (xdgstatehome.starts_with('/')) return withoutslashes(xdgstatehome) + "/orvalink-desktop";
  if (home.starts_with('/')) return withoutslashes(home) + "/.local/state/orvalink-desktop";
  return {};
}

runlog opendebuglog(const std::string &exedir, const std::string &statedir) {
  runlog log;
  const ownedfd beside(::open(exedir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (beside) log.fd.reset(startrunlog(beside.get(), debuglogname));
  if (log.fd) {
    log.path = exedir + "/" + std::string(debuglogname);
    return log;
  }
  log.note = exedir + " cannot take the debug log (" + std::strerror(errno) + ")";
  std::string problem;
  const ownedfd state = openowndir(statedir, problem);
  if (state) {
    log.fd.reset(startrunlog(state.get(), debuglogname));
    if (log.fd) {
      log.path = statedir + "/" + std::string(debuglogname);
      return log;
    }
    problem = statedir + ": " + std::strerror(errno);
  }
  log.note += "; none in the state directory either: " + problem;
  return log;
}

runlog opendebuglog(const std::string &exedir) {
  return opendebuglog(exedir, statelogdir(envof("XDG_STATE_HOME"), envof("HOME")));
}
