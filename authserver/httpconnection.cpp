#include "authserver/httpconnection.h"

#include <boost/asio/write.hpp>
#include <string>

#include "authserver/httprequest.h"
#include "common/debuglog.h"

httpconnection::httpconnection(boost::asio::io_context &io, std::shared_ptr<listenershared> s)
    : sock(io), deadline(io), shared(std::move(s)) {}

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

void httpconnection::handleread(const boost::system::error_code &error, std::size_t bytes) {
  std::string_view reply = notfoundreply;
  if (peeruser != shared->owner) {
    // Another user's browser (or program): its code is not for this user's
    // page, and not for this user's log either.
    debugout(peeruser ? "callback server: refused a connection of uid " + std::to_string(*peeruser) +
                            ", not this program's user"
                      : std::string("callback server: refused a connection whose owner could not be determined"));
  } else if (!error) {
    try {
      // Only this one read counts: a request line or header fields that have
      // not fully arrived in it are not found.
      std::string_view request(buffer.data(), bytes);
      std::optional<std::string_view> target = requesttarget(request);
      if (target) debugout(loggable(*target));
      if (target && iscompleteauth(*target)) {
        if (istoplevelnavigation(headerfields(request, *target), shared->port)) {
          reply = successreply;
          if (shared->notify) shared->notify(pagemessage(std::string(msg::oncompleteauth), {std::string(*target)}));
        } else {
          // Another page's image or fetch, or a name other than loopback's:
          // neither may complete the sign-in nor use up the page's callback.
          debugout("callback server: refused a sign-in request that is not a browser's top-level navigation to it");
        }
      }
    } catch (...) {
      // The browser is answered even when the page could not be told.
    }
  }
  boost::asio::async_write(sock, boost::asio::buffer(reply),
                           [self = shared_from_this()](const boost::system::error_code &, std::size_t) {
                             boost::system::error_code ignored;
                             self->deadline.cancel();
                             self->sock.close(ignored);
                           });
}
