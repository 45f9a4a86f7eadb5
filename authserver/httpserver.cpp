#include "authserver/httpserver.h"

#include <boost/asio/socket_base.hpp>
#include <string>

#include "authserver/httpconnection.h"
#include "common/debuglog.h"

namespace {
// Long enough for an exhausted descriptor table or memory to recover without
// spinning, short enough that a waiting browser does not notice.
constexpr std::chrono::milliseconds acceptretrydelay{100};
}  // namespace

sockaddr_in ipv4address(const boost::asio::ip::tcp::endpoint &endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port());
  address.sin_addr.s_addr = htonl(endpoint.address().to_v4().to_uint());
  return address;
}

httpserver::httpserver(boost::asio::io_context &context, const boost::asio::ip::tcp::endpoint &endpoint, pagesink n,
                       std::chrono::milliseconds timeout, uid_t user)
    : io(context),
      acceptor(context),
      retry(context),
      shared(std::make_shared<listenershared>(listenershared{std::move(n), timeout, user})) {
  acceptor.open(endpoint.protocol());
  acceptor.set_option(boost::asio::socket_base::reuse_address(true));
  acceptor.bind(endpoint);
  acceptor.listen(boost::asio::socket_base::max_listen_connections);
  boundport = acceptor.local_endpoint().port();
  shared->port = boundport;
  waitaccept();
}

void httpserver::waitaccept() { acceptinto(std::make_shared<httpconnection>(io, shared)); }

void httpserver::acceptinto(const std::shared_ptr<httpconnection> &connection) {
  acceptor.async_accept(connection->socket(), [this, connection](const boost::system::error_code &error) {
    handleaccept(connection, error);
  });
}

std::optional<uid_t> httpserver::connectinguser(const boost::asio::ip::tcp::socket &accepted) {
  boost::system::error_code localerror, peererror;
  boost::asio::ip::tcp::endpoint local = accepted.local_endpoint(localerror);
  boost::asio::ip::tcp::endpoint peer = accepted.remote_endpoint(peererror);
  if (localerror || peererror || !local.address().is_v4() || !peer.address().is_v4()) return std::nullopt;
  // The connecting socket's own end is our peer.
  return owners.tcpsocketuid(ipv4address(peer), ipv4address(local));
}

void httpserver::handleaccept(const std::shared_ptr<httpconnection> &connection,
                              const boost::system::error_code &error) {
  if (error == boost::asio::error::operation_aborted) return;  // the acceptor is closing
  if (!error) {
    acceptfailing = false;
    if (shared->open >= maxopenconnections) {
      // Closed unread; the same connection object takes the next one.
      if (!full)
        debugout("callback server: " + std::to_string(maxopenconnections) +
                 " connections open, closing new ones until one ends");
      full = true;
      boost::system::error_code ignored;
      connection->socket().close(ignored);
      acceptinto(connection);
      return;
    }
    full = false;
    // Asked now, while the connecting socket surely exists.
    std::optional<uid_t> user = connectinguser(connection->socket());
    waitaccept();
    connection->start(user);
    return;
  }
  // A failed accept (descriptor table full, memory short, a peer that gave
  // up) must not end the listener: report the first failure of a run and try
  // again a little later.
  if (!acceptfailing) debugout("callback server: accept failed: " + error.message());
  acceptfailing = true;
  retry.expires_after(acceptretrydelay);
  retry.async_wait([this](const boost::system::error_code &waiterror) {
    if (!waiterror) waitaccept();
  });
}
