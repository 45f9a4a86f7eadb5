// modrelay: loads one 32-bit plugin library and serves it to the main program
// over a Unix-domain stream socket that the main program listens on.
//
//   modrelay <socket path> <library path>
//
// Exit codes (messages on standard error):
//   0  the service ended: after "fini", or when the socket broke
//   2  fewer than two arguments
//   9  the library is a 64-bit one (the main program loads those itself)
//   10 the library cannot be checked (missing, unreadable, not a library)
//   3  the socket did not accept a connection within 10 seconds
//   4  the socket could not be opened or connected
//   5  the library could not be loaded
//   6  the library has no handleCall
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "modrelay/relay.h"
#include "plugins/machinecheck.h"
#include "plugins/pipemsg.h"

namespace {

using handlecallfn = const char *(*)(const char *fn, const char *data);

constexpr auto connectwait = std::chrono::milliseconds(10000);

// Connects to the host's socket, retrying while it is not there yet or not
// yet listening. Returns the socket, or the exit code (negated) on failure.
int connecttohost(const char *path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(path) >= sizeof address.sun_path) {
    std::fprintf(stderr, "connect(socket) failed: %lu\n", static_cast<unsigned long>(ENAMETOOLONG));
    return -4;
  }
  std::strcpy(address.sun_path, path);

  const auto deadline = std::chrono::steady_clock::now() + connectwait;
  for (;;) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      std::fprintf(stderr, "connect(socket) failed: %lu\n", static_cast<unsigned long>(errno));
      return -4;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) return fd;
    const int error = errno;
    ::close(fd);
    const bool notyet = error == ENOENT || error == ECONNREFUSED || error == EAGAIN || error == EINTR;
    if (!notyet) {
      std::fprintf(stderr, "connect(socket) failed: %lu\n", static_cast<unsigned long>(error));
      return -4;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      std::fprintf(stderr, "Waiting for socket failed: %lu\n", static_cast<unsigned long>(error));
      return -3;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void serve(int pipe, handlecallfn handlecall) {
  std::string payload;
  for (;;) {
    if (!readpipemsg(pipe, payload)) return;
    const relaycall call = splitpayload(payload);
    if (isfini(call)) {
      handlecall("fini", "");
      writepipemsg(pipe, "ok");
      return;
    }
    // Sent at once: the plugin may reuse its result's memory.
    const char *result = handlecall(call.fn.data(), call.data.data());
    if (!writepipemsg(pipe, result ? std::string_view(result) : std::string_view())) return;
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "Usage: modrelay <socket path> <path/to/plugin.so>\n");
    return 2;
  }
  const char *socketpath = argv[1];
  const char *library = argv[2];

  try {
    if (is64bitdll(library)) {
      std::fprintf(stderr, "Bitness mismatch with DLL: %s\n", library);
      return 9;
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "Cannot check DLL %s: %s\n", library, e.what());
    return 10;
  }

  const int pipe = connecttohost(socketpath);
  if (pipe < 0) return -pipe;

  void *module = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char *why = ::dlerror();
    std::fprintf(stderr, "dlopen failed: %s\n", why ? why : "");
    ::close(pipe);
    return 5;
  }
  auto handlecall = reinterpret_cast<handlecallfn>(::dlsym(module, "handleCall"));
  if (!handlecall) {
    const char *why = ::dlerror();
    std::fprintf(stderr, "dlsym(handleCall) failed: %s\n", why ? why : "no such symbol");
    ::dlclose(module);
    ::close(pipe);
    return 6;
  }

  // The plugin sees "ini" now and again when the host's first message
  // ("ini|") arrives.
  handlecall("ini", "");
  serve(pipe, handlecall);

  ::close(pipe);
  ::dlclose(module);
  return 0;
}
