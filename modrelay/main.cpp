// modrelay: loads one 32-bit plugin library and serves it to the main program
// over a Unix-domain stream socket that the main program listens on. Its
// command line and exit codes: protocol/relayprogram.h.
#include <dlfcn.h>

#include <cstdio>
#include <exception>

#include "protocol/handlecall.h"
#include "protocol/machinecheck.h"
#include "protocol/relayprogram.h"
#include "protocol/relayserve.h"

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: modrelay <socket path> <path/to/plugin.so>\n");
    return relayexit::usage;
  }
  const char *socketpath = argv[1];
  const char *library = argv[2];

  // A library of the other word size cannot be loaded here. (Built for this
  // machine, as the benchmark also builds it, the relay serves 64-bit ones.)
  constexpr bool self64 = sizeof(void *) == 8;
  try {
    if (is64bitdll(library) != self64) {
      std::fprintf(stderr, "Bitness mismatch with DLL: %s\n", library);
      return relayexit::native;
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "Cannot check DLL %s: %s\n", library, e.what());
    return relayexit::unchecked;
  }

  int code = relayexit::served;
  const ownedfd host = connecttohost(socketpath, code);
  if (!host) return code;

  void *module = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char *why = ::dlerror();
    std::fprintf(stderr, "dlopen failed: %s\n", why ? why : "");
    return relayexit::loadfailed;
  }
  auto handlecall = reinterpret_cast<handlecallfn>(::dlsym(module, handlecallname));
  if (!handlecall) {
    const char *why = ::dlerror();
    std::fprintf(stderr, "dlsym(handleCall) failed: %s\n", why ? why : "no such symbol");
    ::dlclose(module);
    return relayexit::nohandlecall;
  }

  // The plugin sees "ini" now and again when the host's first message
  // ("ini|") arrives.
  handlecall(inicall, "");
  serverelay(host.get(), handlecall);

  ::dlclose(module);
  return relayexit::served;
}
