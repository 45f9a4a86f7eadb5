#include "common/paths.h"

#include <cstdlib>

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

std::string datadirectoryfor(long long qxmode, std::string_view localappdata,
                             std::string_view allusersprofile, std::string_view xdgdatahome) {
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
