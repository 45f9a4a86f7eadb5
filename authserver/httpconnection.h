#pragma once

#include <sys/types.h>

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/error_code.hpp>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "common/debuglog.h"
#include "protocol/pagemessage.h"

// What the listener's connections share with it: fixed once it listens, and
// the count of open connections. Shared ownership, so that connections
// abandoned at shut-down, released with the io loop after the server, still
// find it.
struct listenershared {
  pagesink notify;
  // How long a client may stay connected without sending its request.
  std::chrono::milliseconds idletimeout;
  // Only a connection made by this user may complete the sign-in.
  uid_t owner;
  // The bound port, which a browser's Host field names.
  unsigned short port = 0;
  // Connections started and not yet released.
  std::size_t open = 0;
  // While the listener serves a turn of connections, their debug lines are
  // gathered here and written together.
  debuglines *lines = nullptr;
};

// The reply to a connection's one read: `request` is what the read brought,
// nothing when it failed or met the end. A completed sign-in of the listener's
// user is told to the page; the request's target is logged.
std::string_view replyto(const listenershared &shared, std::optional<uid_t> peeruser,
                         std::optional<std::string_view> request);

// Serves an accepted connection (a non-blocking descriptor, closed here or by
// the connection object made for it): answered at once when its request has
// arrived, else read when it comes, within the idle limit.
void serveconnection(boost::asio::io_context &io, const std::shared_ptr<listenershared> &shared, int fd,
                     std::optional<uid_t> peeruser);

// One accepted connection of the sign-in listener whose request had not
// arrived when it was accepted: one read, one reply, close.
// Owned jointly by its pending operations; released after the last one ends.
class httpconnection : public std::enable_shared_from_this<httpconnection> {
 public:
  static constexpr std::size_t buffersize = 8096;

  // Takes over an accepted connection's descriptor.
  httpconnection(boost::asio::io_context &io, std::shared_ptr<listenershared> shared, int fd);
  ~httpconnection();
  httpconnection(const httpconnection &) = delete;
  httpconnection &operator=(const httpconnection &) = delete;

  // Counts the connection as open, starts the one read and the idle
  // deadline; `peeruser` is the user who connected, when known.
  void start(std::optional<uid_t> peeruser);

 private:
  void handleread(const boost::system::error_code &error, std::size_t bytes);
  void handledeadline(const boost::system::error_code &error);

  boost::asio::ip::tcp::socket sock;
  boost::asio::steady_timer deadline;
  std::shared_ptr<listenershared> shared;
  bool counted = false;
  std::optional<uid_t> peeruser;
  std::array<char, buffersize> buffer{};
};
