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
  // Only connections of the user `owner` complete the sign-in; a connection
  // is taken once its request has come or `deferaccept` has passed.
  httpserver(boost::asio::io_context &io, const boost::asio::ip::tcp::endpoint &endpoint, pagesink notify,
             std::chrono::milliseconds idletimeout, uid_t owner, std::chrono::seconds deferaccept);

  // The bound port (the real one when constructed with port 0).
  unsigned short port() const { return boundport; }

 private:
  struct acceptedconnection {
    int fd = -1;
    sockaddr_in peer{};
    bool ipv4 = false;
  };
  // taken: a connection to serve; refused: one closed (or gone) and there
  // may be more; none: nothing more has come; failed: no resources now.
  enum class acceptresult { taken, refused, none, failed };

  // Waits until a connection can be accepted, then accepts what has come.
  void waitaccept();
  void acceptready();
  acceptresult acceptone(acceptedconnection &into);
  // The user who made a connection taken, asked of the kernel.
  std::optional<uid_t> connectinguser(const acceptedconnection &taken);

  boost::asio::io_context &io;
  boost::asio::ip::tcp::acceptor acceptor;
  // Paces new attempts after an accept failed for lack of resources.
  boost::asio::steady_timer retry;
  std::shared_ptr<listenershared> shared;
  socketowners kernelowners;
  unsigned short boundport = 0;
  // The listening address: every connection's own end has it, unless the
  // listener is bound to all addresses (then asked per connection).
  std::optional<sockaddr_in> localaddress;
  bool acceptfailing = false;
  // Refusing connections beyond the cap, said once per run of refusals.
  bool full = false;
};
