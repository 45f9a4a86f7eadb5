#include "common/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

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
