// orvawinehost: serves one Windows (PE) plugin library to the plugin host
// under Wine, exactly as modrelay serves a 32-bit Linux one: the same command
// line, the same socket in the worker's private directory, the same framing
// and messages, and the same exit codes (protocol/relayprogram.h), plus
// relayexit::crashed for a plugin that crashed. It is a Winelib program: this
// file is plain Linux code, the Windows calls are in winplugin.cpp.
#include <cstdio>

#include "protocol/handlecall.h"
#include "protocol/relayprogram.h"
#include "protocol/relayserve.h"
#include "winehost/winplugin.h"

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
  serverelay(host.get(), winplugincall);

  winpluginfree();
  return relayexit::served;
}
