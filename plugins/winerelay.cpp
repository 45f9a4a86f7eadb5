#include "plugins/winerelay.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>

#include "common/debuglog.h"
#include "common/fdio.h"
#include "common/ownedfd.h"
#include "common/paths.h"
#include "plugins/qxp.h"
#include "plugins/relayprocess.h"
#include "plugins/wineprefix.h"
#include "protocol/relayprogram.h"

bool ispefile(const std::string &path) {
  const ownedfd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  char magic[2] = {};
  return fd && readallat(fd.get(), 0, magic, sizeof magic) && magic[0] == 'M' && magic[1] == 'Z';
}

std::string winehostpath(const std::string &programdir, bool is64) {
  return programdir + (is64 ? "/orvawinehost.exe.so" : "/orvawinehost32.exe.so");
}

bool wine32available(const std::string &host32, const std::string &prefix) {
  static std::once_flag once;
  static bool available = false;
  std::call_once(once, [&] {
    // The 32-bit loader runs the 32-bit host without arguments: its usage
    // exit code says that Wine started it.
    const std::string loader = "/usr/lib/wine/wine";
    if (::access(host32.c_str(), R_OK) != 0 || ::access(loader.c_str(), X_OK) != 0) return;
    std::vector<std::string> argv{"/usr/bin/env"};
    for (auto &w : wineenvironment(prefix, std::getenv("WINEDEBUG"))) argv.push_back(std::move(w));
    argv.push_back(loader);
    argv.push_back(host32);
    const ownedfd none(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    relayprocess probe;
    int code = -1;
    if (!probe.spawn(argv, none.get())) return;
    if (!probe.waitexit(std::chrono::seconds(30), code)) probe.stop();
    available = code == relayexit::usage;
  });
  return available;
}

void qxp::runthroughwine(bool is64) {
  const std::string refused = "qxp::run " + file.path + ": a " + (is64 ? "64" : "32") + "-bit Windows plugin, ";
  if (!env.wine) {
    debugout(refused + "which this program does not run; not loaded");
    return;
  }
  std::string why;
  if (!env.wine->ready(why)) {
    debugout(refused + "which needs Wine: " + why + "; not loaded");
    return;
  }
  const std::string host = winehostpath(env.winehostdir.empty() ? exedirof(executablepath()) : env.winehostdir, is64);
  if (!is64 && !wine32available(host, env.wine->directory())) {
    debugout(refused + "which needs a 32-bit Wine that can start on this system, and none can; not loaded");
    return;
  }
  if (::access(host.c_str(), R_OK) != 0) {
    debugout(refused + "and the Windows plugin host " + host + " is missing; not loaded");
    return;
  }
  runthroughpipe(env.wine->command(host));
}
