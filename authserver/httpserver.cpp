#include "authserver/httpserver.h"

#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/socket_base.hpp>
#include <cerrno>
#include <cstring>
#include <string>

#include "authserver/httpconnection.h"
#include "common/debuglog.h"

namespace {
// Long enough for an exhausted descriptor table or memory to recover without
// spinning, short enough that a waiting browser does not notice.
constexpr std::chrono::milliseconds acceptretrydelay{100};
// Connections taken and served in one turn of the loop.
constexpr std::size_t acceptturn = 32;
}  // namespace

sockaddr_in ipv4address(const boost::asio::ip::tcp::endpoint &endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port());
  address.sin_addr.s_addr = htonl(endpoint.address().to_v4().to_uint());
  return address;
}

httpserver::httpserver(boost::asio::io_context &context, const boost::asio::ip::tcp::endpoint &endpoint, pagesink n,
                       std::chrono::milliseconds timeout, uid_t user, std::chrono::seconds deferaccept)
    : io(context),
      acceptor(context),
      retry(context),
      shared(std::make_shared<listenershared>(listenershared{std::move(n), timeout, user})) {
  acceptor.open(endpoint.protocol());
  acceptor.set_option(boost::asio::socket_base::reuse_address(true));
  acceptor.bind(endpoint);
  // A browser sends at once, so a connection taken once its request has come
  // is answered as soon as it is taken, without waiting for it.
  const int deferseconds = static_cast<int>(deferaccept.count());
  ::setsockopt(acceptor.native_handle(), IPPROTO_TCP, TCP_DEFER_ACCEPT, &deferseconds, sizeof deferseconds);
  acceptor.listen(boost::asio::socket_base::max_listen_connections);
  acceptor.non_blocking(true);
  const boost::asio::ip::tcp::endpoint bound = acceptor.local_endpoint();
  boundport = bound.port();
  shared->port = boundport;
  if (bound.address().is_v4() && !bound.address().is_unspecified()) localaddress = ipv4address(bound);
  waitaccept();
}

void httpserver::waitaccept() {
  acceptor.async_wait(boost::asio::ip::tcp::acceptor::wait_read, [this](const boost::system::error_code &error) {
    if (error == boost::asio::error::operation_aborted) return;  // the acceptor is closing
    acceptready();
  });
}

void httpserver::acceptready() {
  // Each connection is served as soon as it is taken: its request has come
  // (the accept is deferred until it has), and its browser should not wait
  // while others are taken. A turn takes a bounded number, so that other
  // work of the loop is not held up; then the loop waits again.
  debuglines lines;
  shared->lines = &lines;
  struct unset {
    listenershared &shared;
    ~unset() { shared.lines = nullptr; }
  } done{*shared};
  acceptresult result = acceptresult::taken;
  for (std::size_t n = 0; n < acceptturn && result != acceptresult::none && result != acceptresult::failed; ++n) {
    acceptedconnection taken;
    result = acceptone(taken);
    if (result == acceptresult::taken) serveconnection(io, shared, taken.fd, connectinguser(taken));
  }
  if (result != acceptresult::failed) {
    waitaccept();
    return;
  }
  retry.expires_after(acceptretrydelay);
  retry.async_wait([this](const boost::system::error_code &waiterror) {
    if (!waiterror) waitaccept();
  });
}

httpserver::acceptresult httpserver::acceptone(acceptedconnection &into) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  const int fd =
      ::accept4(acceptor.native_handle(), reinterpret_cast<sockaddr *>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) return acceptresult::refused;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return acceptresult::none;
    // A failed accept (descriptor table full, memory short) must not end the
    // listener: report the first failure of a run and try again a little
    // later.
    if (!acceptfailing) shared->lines->add("callback server: accept failed: " + std::string(std::strerror(errno)));
    acceptfailing = true;
    return acceptresult::failed;
  }
  acceptfailing = false;
  if (shared->open >= maxopenconnections) {
    // Closed unread.
    if (!full)
      shared->lines->add("callback server: " + std::to_string(maxopenconnections) +
                         " connections open, closing new ones until one ends");
    full = true;
    ::close(fd);
    return acceptresult::refused;
  }
  full = false;
  into = {fd, peer, length == sizeof peer && peer.sin_family == AF_INET};
  return acceptresult::taken;
}

std::optional<uid_t> httpserver::connectinguser(const acceptedconnection &taken) {
  // Asked while the connecting socket surely exists: the connection is still
  // open here.
  if (!taken.ipv4) return std::nullopt;
  sockaddr_in local{};
  if (localaddress) {
    local = *localaddress;
  } else {
    socklen_t length = sizeof local;
    if (::getsockname(taken.fd, reinterpret_cast<sockaddr *>(&local), &length) != 0 || local.sin_family != AF_INET)
      return std::nullopt;
  }
  // The connecting socket's own end is our peer.
  return kernelowners.tcpsocketuid(taken.peer, local);
}
