#include "protocol/relayserve.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/unixsocket.h"
#include "protocol/relayframe.h"
#include "protocol/relaymessage.h"
#include "protocol/relayprogram.h"

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

void serverelay(int host, handlecallfn handlecall) {
  std::string payload;
  pipereader calls(host);
  for (;;) {
    if (!calls.next(payload)) return;
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
