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
};

// One accepted connection of the sign-in listener: one read, one reply, close.
// Owned jointly by its pending operations; released after the last one ends.
class httpconnection : public std::enable_shared_from_this<httpconnection> {
 public:
  static constexpr std::size_t buffersize = 8096;

  httpconnection(boost::asio::io_context &io, std::shared_ptr<listenershared> shared);
  ~httpconnection();
  httpconnection(const httpconnection &) = delete;
  httpconnection &operator=(const httpconnection &) = delete;

  boost::asio::ip::tcp::socket &socket() { return sock; }

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
