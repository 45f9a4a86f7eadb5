// orvawinehost: serves one Windows (PE) plugin library to the plugin host
// under Wine, exactly as modrelay serves a 32-bit Linux one: the same command
// line, the same socket in the worker's private directory, the same framing
// and messages, and the same exit codes (protocol/relayprogram.h), plus
// relayexit::crashed for a plugin that crashed. It is a Winelib program: this
// file is plain Linux code, the Windows calls are in winplugin.cpp.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "common/unixsocket.h"
#include "protocol/handlecall.h"
#include "protocol/relayframe.h"
#include "protocol/relaymessage.h"
#include "protocol/relayprogram.h"
#include "winehost/winplugin.h"

namespace {

// Connects to the host's socket, retrying while it is not there yet or not
// yet listening. Returns the socket, or nothing with the exit code in `code`.
ownedfd connecttohost(const std::string &path, int &code) {
  const auto deadline = std::chrono::steady_clock::now() + relayconnectwait;
  for (;;) {
    ownedfd host = unixconnect(path);
    if (host) return host;
    const int error = errno;
    if (error != ENOENT && error != ECONNREFUSED && error != EAGAIN && error != EINTR) {
      std::fprintf(stderr, "connect(socket) failed: %d\n", error);
      code = relayexit::connectfailed;
      return {};
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      std::fprintf(stderr, "Waiting for socket failed: %d\n", error);
      code = relayexit::connecttimedout;
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void serve(int host) {
  std::string payload;
  for (;;) {
    if (!readpipemsg(host, payload)) return;
    const relaycall call = splitmessage(payload);
    if (isfini(call)) {
      winplugincall(finicall, "");
      writepipemsg(host, relayfiniok);
      return;
    }
    // Sent at once: the plugin may reuse its result's memory.
    const char *result = winplugincall(call.fn.data(), call.data.data());
    if (!writepipemsg(host, result ? std::string_view(result) : std::string_view())) return;
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: orvawinehost <socket path> <path/to/plugin.dll>\n");
    return relayexit::usage;
  }
  int code = relayexit::served;
  const ownedfd host = connecttohost(argv[1], code);
  if (!host) return code;

  char why[512];
  bool nohandlecall = false;
  if (!winpluginload(argv[2], why, sizeof why, nohandlecall)) {
    std::fprintf(stderr, "%s\n", why);
    return nohandlecall ? relayexit::nohandlecall : relayexit::loadfailed;
  }
  winpluginexitoncrash(relayexit::crashed);

  // As with modrelay, the plugin sees "ini" now and again with "ini|".
  winplugincall(inicall, "");
  serve(host.get());

  winpluginfree();
  return relayexit::served;
}
