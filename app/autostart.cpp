#include "app/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/fdio.h"
#include "common/ownedfd.h"
#include "common/paths.h"
#include "common/utf.h"

namespace {

std::string failure(const std::string &what, const std::string &path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// One word of an Exec line. A word holding a character the desktop entry
// rules reserve goes in double quotes, with '"', '`', '$' and '\' escaped
// inside; '%' is doubled everywhere (it starts field codes such as %u).
std::string execword(std::string_view word) {
  static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string text;
  for (const char c : word) text += c == '%' ? std::string("%%") : std::string(1, c);
  if (!word.empty() && word.find_first_of(reserved) == std::string_view::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

bool fitsexecline(std::string_view word) {
  for (const char c : word)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return widetoutf8(utf8towide(word)) == word;
}

// Makes the directories of `dir` that are missing, each with mode 0700.
std::string makedirectories(const std::string &dir) {
  for (std::size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
    const std::string part = dir.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return failure("cannot create", part);
    if (end == std::string::npos) return {};
  }
}

std::string writeentry(const std::string &path, std::string_view entry) {
  const std::string dir = path.substr(0, path.rfind('/'));
  if (std::string problem = makedirectories(dir); !problem.empty()) return problem;
  std::string temporary = dir + "/.orvalink-desktop.desktop.XXXXXX";
  const ownedfd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) return failure("cannot write in", dir);
  const bool written = ::fchmod(fd.get(), 0644) == 0 && writeall(fd.get(), entry) && ::fsync(fd.get()) == 0;
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    std::string problem = failure("cannot write", path);
    ::unlink(temporary.c_str());
    return problem;
  }
  return {};
}

}  // namespace

std::optional<bool> autostartwanted(std::string_view value) {
  if (value == "on") return true;
  if (value == "off") return false;
  return std::nullopt;
}

std::string autostartpath(std::string_view xdgconfighome, std::string_view home) {
  std::string config;
  if (xdgconfighome.starts_with('/'))
    config = xdgconfighome;
  else if (home.starts_with('/'))
    config = std::string(home) + "/.config";
  else
    return {};
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  return config + "/autostart/orvalink-desktop.desktop";
}

std::optional<std::string> autostartentry(std::string_view program, const std::vector<std::string> &arguments) {
  if (!fitsexecline(program)) return std::nullopt;
  std::string exec = execword(program);
  for (const std::string &a : arguments) {
    if (!fitsexecline(a)) return std::nullopt;
    exec += ' ' + execword(a);
  }
  // A desktop entry's values escape '\' once more, before the Exec rules.
  std::string value;
  for (const char c : exec) value += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=orvalink Desktop\n"
         "Comment=Starts the orvalink telephony companion at login\n"
         "Exec=" +
         value +
         "\n"
         "Icon=orvalink-desktop\n"
         "Terminal=false\n"
         "StartupNotify=false\n";
}

std::string setautostart(bool on, const std::string &path, std::string_view entry) {
  if (on) return writeentry(path, entry);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return failure("cannot remove", path);
  return {};
}

int runautostart(std::string_view value, const std::optional<std::string> &serviceorigin) {
  const std::optional<bool> on = autostartwanted(value);
  if (!on) {
    std::fprintf(stderr, "orvalink-desktop: --autostart takes on or off, not \"%.*s\"\n",
                 static_cast<int>(value.size()), value.data());
    return 2;
  }
  const char *xdgconfighome = std::getenv("XDG_CONFIG_HOME");
  const char *home = std::getenv("HOME");
  const std::string path = autostartpath(xdgconfighome ? xdgconfighome : "", home ? home : "");
  if (path.empty()) {
    std::fprintf(stderr, "orvalink-desktop: autostart: neither XDG_CONFIG_HOME nor HOME is an absolute path\n");
    return 1;
  }
  std::string entry;
  if (*on) {
    const std::string program = executablepath();
    std::vector<std::string> arguments;
    if (serviceorigin) arguments.push_back("--service-origin=" + *serviceorigin);
    const std::optional<std::string> text = autostartentry(program, arguments);
    if (program.empty() || !text) {
      std::fprintf(stderr,
                   "orvalink-desktop: autostart: this program (%s) or its options cannot go into a desktop entry\n",
                   program.c_str());
      return 1;
    }
    entry = *text;
  }
  if (const std::string problem = setautostart(*on, path, entry); !problem.empty()) {
    std::fprintf(stderr, "orvalink-desktop: autostart: %s\n", problem.c_str());
    return 1;
  }
  std::printf(*on ? "autostart on: %s\n" : "autostart off: %s is gone\n", path.c_str());
  return 0;
}
