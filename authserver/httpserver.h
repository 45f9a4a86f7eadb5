#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

#include "common/socketowner.h"
#include "protocol/pagemessage.h"

class httpconnection;
struct listenershared;

// At most this many connections are open at once; more are closed as soon as
// they are accepted, so that one local process cannot use up the program's
// descriptors. A browser's sign-in needs one.
inline constexpr std::size_t maxopenconnections = 64;

// An IPv4 endpoint as the socket calls take it.
sockaddr_in ipv4address(const boost::asio::ip::tcp::endpoint &endpoint);

// The sign-in listener's acceptor. Constructed on any thread; from then on
// used only by the thread that runs the io loop. Construction throws
// boost::system::system_error when the endpoint cannot be listened on.
class httpserver {
 public:
  // Only connections of the user `owner` complete the sign-in.
  httpserver(boost::asio::io_context &io, const boost::asio::ip::tcp::endpoint &endpoint, pagesink notify,
             std::chrono::milliseconds idletimeout, uid_t owner);

  // The bound port (the real one when constructed with port 0).
  unsigned short port() const { return boundport; }

 private:
  void waitaccept();
  // Accepts the next connection into this one's socket.
  void acceptinto(const std::shared_ptr<httpconnection> &connection);
  void handleaccept(const std::shared_ptr<httpconnection> &connection, const boost::system::error_code &error);
  std::optional<uid_t> connectinguser(const boost::asio::ip::tcp::socket &accepted);

  boost::asio::io_context &io;
  boost::asio::ip::tcp::acceptor acceptor;
  // Paces new attempts after an accept failed for lack of resources.
  boost::asio::steady_timer retry;
  std::shared_ptr<listenershared> shared;
  socketowners owners;
  unsigned short boundport = 0;
  bool acceptfailing = false;
  // Refusing connections beyond the cap, said once per run of refusals.
  bool full = false;
};
