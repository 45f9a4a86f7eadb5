#include "common/unixsocket.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace {

enum class use { connect, listen };

ownedfd opensocket(const std::string &path, use how, int backlog) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return {};
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  ownedfd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return {};
  const auto *at = reinterpret_cast<const sockaddr *>(&address);
  const bool done = how == use::connect ? ::connect(fd.get(), at, sizeof address) == 0
                                        : ::bind(fd.get(), at, sizeof address) == 0 && ::listen(fd.get(), backlog) == 0;
  if (done) return fd;
  const int error = errno;  // close() must not replace the reason
  fd.reset();
  errno = error;
  return {};
}

}  // namespace

ownedfd unixconnect(const std::string &path) { return opensocket(path, use::connect, 0); }

ownedfd unixlisten(const std::string &path, int backlog) { return opensocket(path, use::listen, backlog); }

std::optional<uid_t> unixpeeruid(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || size != sizeof peer) return std::nullopt;
  return peer.uid;
}
