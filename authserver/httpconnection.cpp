#include "authserver/httpconnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/write.hpp>
#include <cerrno>
#include <string>

#include "authserver/httprequest.h"
#include "common/debuglog.h"

httpconnection::httpconnection(boost::asio::io_context &io, std::shared_ptr<listenershared> s, int fd)
    : sock(io, boost::asio::ip::tcp::v4(), fd), deadline(io), shared(std::move(s)) {}

httpconnection::~httpconnection() {
  if (counted) --shared->open;
}

void httpconnection::start(std::optional<uid_t> user) {
  ++shared->open;
  counted = true;
  peeruser = user;
  // A client that sends nothing must not hold its connection: when the
  // deadline passes first, the read ends as cancelled and gets the 404 reply.
  deadline.expires_after(shared->idletimeout);
  deadline.async_wait(
      [self = shared_from_this()](const boost::system::error_code &error) { self->handledeadline(error); });
  sock.async_read_some(boost::asio::buffer(buffer),
                       [self = shared_from_this()](const boost::system::error_code &error, std::size_t bytes) {
                         self->handleread(error, bytes);
                       });
}

void httpconnection::handledeadline(const boost::system::error_code &error) {
  if (error == boost::asio::error::operation_aborted) return;
  boost::system::error_code ignored;
  sock.cancel(ignored);
}

namespace {
void say(const listenershared &shared, std::string_view line) {
  if (shared.lines)
    shared.lines->add(line);
  else
    debugout(line);
}

std::string_view replytorequest(const listenershared &shared, std::string_view request) {
  // Only this one read counts: a request line or header fields that have not
  // fully arrived in it are not found.
  std::optional<std::string_view> target = requesttarget(request);
  if (target) say(shared, loggable(*target));
  if (!target || !iscompleteauth(*target)) return notfoundreply;
  if (!istoplevelnavigation(headerfields(request, *target), shared.port)) {
    // Another page's image or fetch, or a name other than loopback's:
    // neither may complete the sign-in nor use up the page's callback.
    say(shared, "callback server: refused a sign-in request that is not a browser's top-level navigation to it");
    return notfoundreply;
  }
  try {
    if (shared.notify) shared.notify(pagemessage(std::string(msg::oncompleteauth), {std::string(*target)}));
  } catch (...) {
    // The browser is answered even when the page could not be told.
  }
  return successreply;
}
}  // namespace

std::string_view replyto(const listenershared &shared, std::optional<uid_t> peeruser,
                         std::optional<std::string_view> request) {
  if (peeruser != shared.owner) {
    // Another user's browser (or program): its code is not for this user's
    // page, and not for this user's log either.
    say(shared, peeruser ? "callback server: refused a connection of uid " + std::to_string(*peeruser) +
                               ", not this program's user"
                         : std::string("callback server: refused a connection whose owner could not be determined"));
    return notfoundreply;
  }
  if (!request) return notfoundreply;
  try {
    return replytorequest(shared, *request);
  } catch (...) {
    return notfoundreply;
  }
}

void serveconnection(boost::asio::io_context &io, const std::shared_ptr<listenershared> &shared, int fd,
                     std::optional<uid_t> peeruser) {
  std::array<char, httpconnection::buffersize> buffer;
  const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    std::make_shared<httpconnection>(io, shared, fd)->start(peeruser);
    return;
  }
  // The reply is small and the connection new: its send buffer takes it
  // whole, so the connection is answered and closed without waiting.
  const std::string_view reply =
      replyto(*shared, peeruser,
              n > 0 ? std::optional<std::string_view>(std::string_view(buffer.data(), static_cast<std::size_t>(n)))
                    : std::nullopt);
  ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::close(fd);
}

void httpconnection::handleread(const boost::system::error_code &error, std::size_t bytes) {
  const std::string_view reply =
      replyto(*shared, peeruser,
              error ? std::nullopt : std::optional<std::string_view>(std::string_view(buffer.data(), bytes)));
  boost::asio::async_write(sock, boost::asio::buffer(reply),
                           [self = shared_from_this()](const boost::system::error_code &, std::size_t) {
                             boost::system::error_code ignored;
                             self->deadline.cancel();
                             self->sock.close(ignored);
                           });
}
