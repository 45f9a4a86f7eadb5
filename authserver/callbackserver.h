#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "protocol/pagemessage.h"

class httpserver;

// Where and how the sign-in listener runs. The defaults are the program's:
// the fixed loopback port the service sends the browser to.
struct callbackserverconfig {
  // An IPv4 address: the owner of a connection is looked up for IPv4 only,
  // and a connection whose owner is unknown is refused.
  std::string address = "127.0.0.1";
  unsigned short port = 25652;
  // Where the page's "onCompleteAuth" message goes; called on the network
  // thread. The program passes its page sink.
  pagesink notify;
  // How long a client may stay connected without sending its request.
  std::chrono::milliseconds idletimeout{5000};
  // A connection is taken from the kernel once its request has come, or
  // after this long without one (then the idle limit applies): connections
  // that send nothing wait in the kernel instead of taking the listener's
  // places. Zero: taken at once.
  std::chrono::seconds deferaccept{1};
  // The one user whose connections may complete the sign-in: loopback is
  // shared by every user of the machine, and a code must not reach another
  // user's page. Others, and connections whose owner is unknown, get 404.
  uid_t owner = ::geteuid();
};

// What the page's "winAuth" shows when another user's copy holds the port.
inline constexpr std::string_view signintitle = "Sign-in";
inline constexpr std::string_view signinblockedtext =
    "Sign-in through the browser cannot complete while another user's copy of the program is running.";

// The running sign-in listener: its io loop, the server and the one network
// thread that runs the loop. Owned by whoever started it.
class callbackserver {
 public:
  // Starts listening and the network thread. When the endpoint cannot be
  // listened on (another copy of the program holds the port), says so in
  // the debug output, naming another user's copy when one holds it, and
  // runs without a listener.
  explicit callbackserver(callbackserverconfig config);
  // Stops the io loop and waits for the network thread, which ends at once;
  // open connections are abandoned.
  ~callbackserver();
  callbackserver(const callbackserver &) = delete;
  callbackserver &operator=(const callbackserver &) = delete;

  bool listening() const { return server != nullptr; }
  // The bound port, 0 when not listening.
  unsigned short port() const;
  // When not listening because another user's program holds the endpoint:
  // that user's id.
  std::optional<uid_t> heldbyotheruser() const { return otheruser; }

 private:
  // How long the network thread stays awake for more work before it sleeps:
  // a browser's further connections (and a burst of them) come within
  // microseconds, and where idle processors sleep deeply (virtual machines)
  // waking a sleeping thread costs tens of microseconds. A lone connection
  // costs at most this much processor time more.
  static constexpr std::chrono::microseconds awakewait{300};

  void run();

  boost::asio::io_context io;
  std::unique_ptr<httpserver> server;
  std::optional<uid_t> otheruser;
  std::thread network;
};

// The program's two calls: start the listener once the automation module is
// loaded, and stop it during shut-down. Stopping takes the handle back.
std::unique_ptr<callbackserver> startcallbackserver(callbackserverconfig config = {});
void stopcallbackserver(std::unique_ptr<callbackserver> server);
