#include "authserver/httpconnection.h"

#include <boost/asio/write.hpp>
#include <string>

#include "authserver/httprequest.h"
#include "common/debuglog.h"

httpconnection::httpconnection(boost::asio::io_context &io, pagesink n, std::chrono::milliseconds timeout, uid_t user)
    : sock(io), deadline(io), notify(std::move(n)), idletimeout(timeout), owner(user) {}

void httpconnection::start(std::optional<uid_t> user) {
  peeruser = user;
  // A client that sends nothing must not hold its connection: when the
  // deadline passes first, the read ends as cancelled and gets the 404 reply.
  deadline.expires_after(idletimeout);
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
  if (peeruser != owner) {
    // Another user's browser (or program): its code is not for this user's
    // page, and not for this user's log either.
    debugout(peeruser ? "callback server: refused a connection of uid " + std::to_string(*peeruser) +
                            ", not this program's user"
                      : std::string("callback server: refused a connection whose owner could not be determined"));
  } else if (!error) {
    try {
      // Only this one read counts: a request line that has not fully arrived
      // in it is not found.
      if (std::optional<std::string_view> target = requesttarget(std::string_view(buffer.data(), bytes))) {
        debugout(loggabletarget(*target));
        if (iscompleteauth(*target)) {
          reply = successreply;
          if (notify) notify(pagemessage(std::string(msg::oncompleteauth), {std::string(*target)}));
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
