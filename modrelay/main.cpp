// modrelay: loads one 32-bit plugin library and serves it to the main program
// over a Unix-domain stream socket that the main program listens on. Its
// command line and exit codes: protocol/relayprogram.h.
#include <dlfcn.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>

#include "common/unixsocket.h"
#include "protocol/handlecall.h"
#include "protocol/machinecheck.h"
#include "protocol/relayframe.h"
#include "protocol/relaymessage.h"
#include "protocol/relayprogram.h"

namespace {

// Connects to the host's socket, retrying while it is not there yet or not
// yet listening. Returns the socket, or nothing with the exit code in `code`.
ownedfd connecttohost(const std::string &path, int &code) {
  const auto deadline = std::chrono::steady_clock::now() + relayconnectwait;
  for (;;) {
    ownedfd host = unixconnect(path);
    if (host) return host;
    const int error = errno;
    const bool notyet = error == ENOENT || error == ECONNREFUSED || error == EAGAIN || error == EINTR;
    if (!notyet) {
      std::fprintf(stderr, "connect(socket) failed: %lu\n", static_cast<unsigned long>(error));
      code = relayexit::connectfailed;
      return {};
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      std::fprintf(stderr, "Waiting for socket failed: %lu\n", static_cast<unsigned long>(error));
      code = relayexit::connecttimedout;
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void serve(int host, handlecallfn handlecall) {
  std::string payload;
  for (;;) {
    if (!readpipemsg(host, payload)) return;
    const relaycall call = splitmessage(payload);
    if (isfini(call)) {
      handlecall(finicall, "");
      writepipemsg(host, relayfiniok);
      return;
    }
    // Sent at once: the plugin may reuse its result's memory.
    const char *result = handlecall(call.fn.data(), call.data.data());
    if (!writepipemsg(host, result ? std::string_view(result) : std::string_view())) return;
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: modrelay <socket path> <path/to/plugin.so>\n");
    return relayexit::usage;
  }
  const char *socketpath = argv[1];
  const char *library = argv[2];

  try {
    if (is64bitdll(library)) {
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
  serve(host.get(), handlecall);

  ::dlclose(module);
  return relayexit::served;
}
