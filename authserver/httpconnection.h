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

// One accepted connection of the sign-in listener: one read, one reply, close.
// Owned jointly by its pending operations; released after the last one ends.
class httpconnection : public std::enable_shared_from_this<httpconnection> {
 public:
  static constexpr std::size_t buffersize = 8096;

  // Only a connection made by the user `owner` may complete the sign-in.
  httpconnection(boost::asio::io_context &io, pagesink notify, std::chrono::milliseconds idletimeout, uid_t owner);

  boost::asio::ip::tcp::socket &socket() { return sock; }

  // Starts the one read and the idle deadline; `peeruser` is the user who
  // connected, when known.
  void start(std::optional<uid_t> peeruser);

 private:
  void handleread(const boost::system::error_code &error, std::size_t bytes);
  void handledeadline(const boost::system::error_code &error);

  boost::asio::ip::tcp::socket sock;
  boost::asio::steady_timer deadline;
  pagesink notify;
  std::chrono::milliseconds idletimeout;
  uid_t owner;
  std::optional<uid_t> peeruser;
  std::array<char, buffersize> buffer{};
};
