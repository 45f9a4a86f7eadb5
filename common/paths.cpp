#include "common/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string executablepath() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) return {};
  return std::string(path, static_cast<std::size_t>(n));
}

std::string exedirof(std::string_view exepath) {
  const auto cut = exepath.find_last_of("/\\");
  if (cut == std::string_view::npos) return std::string(exepath);
  return std::string(exepath.substr(0, cut));
}

std::string settingsdirof(std::string_view exepath) {
  const auto cut = exepath.rfind('/');
  if (cut == std::string_view::npos) return {};
  return std::string(exepath.substr(0, cut + 1));
}

std::string datadirectoryfor(long long qxmode, std::string_view localappdata, std::string_view allusersprofile,
                             std::string_view xdgdatahome) {
  std::string_view base = qxmode != 0 ? localappdata : allusersprofile;
  if (base.empty()) base = xdgdatahome;
  std::string dir(base);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + productname;
}

namespace {
std::string envof(const char *name) {
  const char *v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

std::string datadirectory(long long qxmode) {
  std::string xdg = envof("XDG_DATA_HOME");
  if (xdg.empty()) {
    const std::string home = envof("HOME");
    xdg = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
  }
  return datadirectoryfor(qxmode, envof("LOCALAPPDATA"), envof("ALLUSERSPROFILE"), xdg);
}

std::string runtimedir() {
  std::string dir = envof("XDG_RUNTIME_DIR");
  struct stat st {};
  // A relative path would depend on where the program was started.
  if (dir.empty() || dir.front() != '/' || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      ::access(dir.c_str(), W_OK | X_OK) != 0)
    return "/tmp";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string privatedirproblem(const struct stat &st, uid_t euid) {
  if (S_ISLNK(st.st_mode)) return "a symbolic link";
  if (!S_ISDIR(st.st_mode)) return "not a directory";
  if (st.st_uid != euid) return "owned by uid " + std::to_string(st.st_uid) + ", not " + std::to_string(euid);
  if ((st.st_mode & 07777) != 0700) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("mode ") + mode + ", not 0700";
  }
  return {};
}

namespace {
std::string trimmed(std::string_view dir) {
  std::string d(dir);
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  return d;
}
}  // namespace

privatedir privateruntimedirin(std::string_view xdgruntimedir, std::string_view fallbackbase, uid_t euid) {
  struct stat st {};
  const std::string xdg = trimmed(xdgruntimedir);
  if (xdg.starts_with('/') && ::lstat(xdg.c_str(), &st) == 0 && privatedirproblem(st, euid).empty()) return {xdg, {}};

  const std::string dir = trimmed(fallbackbase) + "/orvalink-desktop-" + std::to_string(euid);
  // The mode asked of mkdir may lose bits to the umask; a directory just made
  // is this user's, so it gets 0700 exactly. One that already existed is
  // taken only as it is.
  if (::mkdir(dir.c_str(), 0700) == 0)
    ::chmod(dir.c_str(), 0700);
  else if (errno != EEXIST)
    return {{}, dir + ": " + std::strerror(errno)};
  if (::lstat(dir.c_str(), &st) != 0) return {{}, dir + ": " + std::strerror(errno)};
  if (std::string problem = privatedirproblem(st, euid); !problem.empty()) return {{}, dir + " is " + problem};
  return {dir, {}};
}

privatedir privateruntimedir() { return privateruntimedirin(envof("XDG_RUNTIME_DIR"), "/tmp", ::geteuid()); }
