#include "plugins/wineprefix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/debuglog.h"
#include "common/ownedfd.h"
#include "plugins/relayprocess.h"

namespace {

bool executable(const std::string &path) { return ::access(path.c_str(), X_OK) == 0; }

std::string inpath(const std::string &name) {
  const char *path = std::getenv("PATH");
  std::string rest = path ? path : "";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string dir = rest.substr(0, colon);
    rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    if (!dir.empty() && executable(dir + "/" + name)) return dir + "/" + name;
  }
  return {};
}

// Written once the first creation has finished: a prefix whose creation was
// cut short is made again.
constexpr const char *readymark = "/.orvalink-ready";

}  // namespace

std::optional<winetools> findwine() {
  winetools t{inpath("wine64"), inpath("wineserver")};
  if (t.loader.empty() && executable("/usr/lib/wine/wine64")) t.loader = "/usr/lib/wine/wine64";
  if (t.server.empty() && executable("/usr/lib/wine/wineserver")) t.server = "/usr/lib/wine/wineserver";
  if (t.loader.empty() || t.server.empty()) return std::nullopt;
  return t;
}

std::vector<std::string> wineenvironment(const std::string &prefix, const char *winedebug) {
  return {"-u",
          "DISPLAY",
          "-u",
          "WAYLAND_DISPLAY",
          "WINEPREFIX=" + prefix,
          "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
          "WINEDEBUG=" + std::string(winedebug && *winedebug ? winedebug : "-all")};
}

wineprefix::wineprefix(std::string directory, std::function<void()> creating)
    : dir(std::move(directory)), creating(std::move(creating)) {}

wineprefix::~wineprefix() { stop(); }

bool wineprefix::ready(std::string &why) {
  std::lock_guard<std::mutex> hold(lock);
  if (!outcome) outcome = prepare(failure);
  why = failure;
  return *outcome;
}

std::vector<std::string> wineprefix::command(const std::string &program) const {
  std::vector<std::string> words{"/usr/bin/env"};
  for (auto &w : wineenvironment(dir, std::getenv("WINEDEBUG"))) words.push_back(std::move(w));
  words.push_back(tools.loader);
  words.push_back(program);
  return words;
}

bool wineprefix::runwine(std::vector<std::string> words, int waitseconds, int &code) {
  std::vector<std::string> argv{"/usr/bin/env"};
  for (auto &w : wineenvironment(dir, std::getenv("WINEDEBUG"))) argv.push_back(std::move(w));
  for (auto &w : words) argv.push_back(std::move(w));
  // Wine's programs get no plugin file: descriptor 3 is /dev/null.
  const ownedfd none(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  relayprocess p;
  if (!p.spawn(argv, none.get())) return false;
  if (p.waitexit(std::chrono::seconds(waitseconds), code)) return true;
  p.stop();
  return false;
}

bool wineprefix::prepare(std::string &why) {
  const auto found = findwine();
  if (!found) {
    why = "Wine is not installed (no wine64 and wineserver in PATH or /usr/lib/wine; install the wine64 package)";
    return false;
  }
  tools = *found;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    why = "the Wine prefix " + dir + " cannot be made";
    return false;
  }
  struct stat own {};
  if (::lstat(dir.c_str(), &own) != 0 || !S_ISDIR(own.st_mode) || own.st_uid != ::geteuid()) {
    why = "the Wine prefix " + dir + " is not this user's directory";
    return false;
  }
  int code = -1;
  // One persistent server for the program's life; it detaches at once, and
  // keeps no descriptor of the program's (its log pipe would stay open).
  if (!runwine({"/bin/sh", "-c", "exec \"$0\" -p </dev/null >/dev/null 2>&1", tools.server}, 10, code) || code != 0) {
    why = "wineserver did not start (exit code " + std::to_string(code) + ")";
    return false;
  }
  serving = true;
  if (::access((dir + readymark).c_str(), F_OK) != 0) {
    debugout("wine: creating the Windows plugin prefix " + dir + "; the first Windows plugin takes some seconds");
    if (creating) creating();
    if (!runwine({tools.loader, "wineboot", "-i"}, 180, code) || code != 0) {
      why = "the Wine prefix " + dir + " could not be created (wineboot exit code " + std::to_string(code) + ")";
      return false;
    }
    const ownedfd mark(::open((dir + readymark).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    debugout("wine: the Windows plugin prefix " + dir + " is ready");
  }
  return true;
}

void wineprefix::stop() {
  std::lock_guard<std::mutex> hold(lock);
  if (!serving) return;
  serving = false;
  int code;
  runwine({tools.server, "-k"}, 10, code);
}
