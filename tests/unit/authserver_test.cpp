// threads: the listener runs its own network thread.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "authserver/callbackserver.h"
#include "authserver/httprequest.h"
#include "authserver/httpserver.h"
#include "common/debuglog.h"
#include "common/socketowner.h"

using namespace std::chrono_literals;
using clock_type = std::chrono::steady_clock;

namespace {

const std::string success =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: 51\r\n\r\n"
    "<html><h1>You may now close this window</h1></html>";
const std::string notfound =
    "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";

// Collects what the listener would send to the page.
class pagerecorder {
 public:
  pagesink notifier() {
    return [this](pagemessage m) {
      std::lock_guard lock(mutex);
      messages.push_back(std::move(m));
    };
  }
  std::vector<pagemessage> received() {
    std::lock_guard lock(mutex);
    return messages;
  }

 private:
  std::mutex mutex;
  std::vector<pagemessage> messages;
};

std::unique_ptr<callbackserver> startonanyport(pagerecorder &page, std::chrono::milliseconds idle = 5s,
                                               std::chrono::seconds deferaccept = 1s) {
  callbackserverconfig config;
  config.port = 0;
  config.notify = page.notifier();
  config.idletimeout = idle;
  config.deferaccept = deferaccept;
  auto server = startcallbackserver(std::move(config));
  EXPECT_TRUE(server->listening());
  return server;
}

// A blocking loopback client; every read gives up after a few seconds so a
// listener that never answers fails the test instead of hanging it.
class client {
 public:
  explicit client(unsigned short port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  }
  ~client() { close(); }
  client(const client &) = delete;
  client &operator=(const client &) = delete;

  bool connected = false;

  void send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }
  // Everything up to the listener's close (or a reset, or the time limit).
  std::string readall() {
    std::string all;
    char chunk[4096];
    for (;;) {
      ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      all.append(chunk, static_cast<std::size_t>(n));
    }
    return all;
  }
  void close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

 private:
  int fd;
};

// A request as a browser's navigation to the listener on `port` sends it.
std::string request(unsigned short port, std::string_view target, std::string_view version = "HTTP/1.1") {
  return "GET " + std::string(target) + " " + std::string(version) + "\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nSec-Fetch-Dest: document\r\nSec-Fetch-Mode: navigate\r\n\r\n";
}

std::string roundtrip(unsigned short port, std::string_view bytes) {
  client c(port);
  c.send(bytes);
  return c.readall();
}

}  // namespace

TEST(authrequest, target_lies_between_first_get_and_first_http11_line_end) {
  EXPECT_EQ(requesttarget("GET  HTTP/1.1\r\n"), "");
  EXPECT_EQ(requesttarget("xxGET /a HTTP/1.1\r\nGET /b HTTP/1.1\r\n"), "/a");
  // The version ending before the target begins is no request line.
  EXPECT_EQ(requesttarget("GET HTTP/1.1\r\n"), std::nullopt);
  EXPECT_EQ(requesttarget(" HTTP/1.1\r\nGET /api/user/completeauth"), std::nullopt);
  EXPECT_EQ(requesttarget(std::string_view("GET /\0x HTTP/1.1\r\n", 18)), std::string_view("/\0x", 3));
}

TEST(authrequest, logged_target_cannot_break_or_colour_the_line) {
  EXPECT_EQ(loggable("/a?b=%20c"), "/a?b=%20c");
  EXPECT_EQ(loggable("/a\r\nfake line\x1b[31m\\"), "/a\\x0d\\x0afake line\\x1b[31m\\x5c");
  EXPECT_EQ(loggable("/caf\xc3\xa9"), "/caf\xc3\xa9");
  // Long plain runs are scanned a word at a time; what ends them is still found.
  EXPECT_EQ(loggable("/abcdefghijklmno\x7fpqrstuvw\x1fxyz\xff\xfe"
                     "0123456789\\"),
            "/abcdefghijklmno\\x7fpqrstuvw\\x1fxyz\xff\xfe"
            "0123456789\\x5c");
}

TEST(authrequest, only_a_top_level_navigation_to_this_listener_may_complete_sign_in) {
  auto navigation = [](std::string_view fields) { return istoplevelnavigation(fields, 25652); };
  const std::string browser =
      "Host: 127.0.0.1:25652\r\nUpgrade-Insecure-Requests: 1\r\nSec-Fetch-Site: cross-site\r\n"
      "Sec-Fetch-Mode: navigate\r\nSec-Fetch-User: ?1\r\nSec-Fetch-Dest: document\r\n";
  EXPECT_TRUE(navigation(browser + "\r\n"));
  EXPECT_TRUE(navigation("SEC-FETCH-DEST:document\r\nhost:\tlocalhost:25652 \r\n\r\nGET /ignored\r\n"));
  // Another name for loopback (DNS rebinding), another port, no port, no Host.
  EXPECT_FALSE(navigation("Host: rebound.example:25652\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: localhost.rebound.example:25652\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: 127.0.0.1:2565\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: 127.0.0.1\r\n\r\n"));
  EXPECT_FALSE(navigation("Accept: */*\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: 127.0.0.1:25652\r\nHost: rebound.example:25652\r\n\r\n"));
  // What an image, a fetch or a frame says it is.
  EXPECT_FALSE(navigation("Host: 127.0.0.1:25652\r\nSec-Fetch-Dest: image\r\nSec-Fetch-Mode: no-cors\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: 127.0.0.1:25652\r\nsec-fetch-mode: no-cors\r\n\r\n"));
  EXPECT_FALSE(navigation(browser + "Sec-Fetch-Dest: iframe\r\n\r\n"));
  // Fields cut off by the end of the read, or malformed, may hide the one that says no.
  EXPECT_FALSE(navigation(browser));
  EXPECT_FALSE(navigation("Host: 127.0.0.1:25652\r\n Sec-Fetch-Dest: image\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: 127.0.0.1:25652\r\nSec-Fetch-Dest : image\r\n\r\n"));
  EXPECT_FALSE(navigation("Host: 127.0.0.1:25652\r\nX: y\nSec-Fetch-Dest: image\r\n\r\n"));
}

TEST(authserver, kernel_names_the_owner_of_a_loopback_connection_and_of_a_listener) {
  boost::asio::io_context io;
  boost::asio::ip::tcp::acceptor listener(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
  boost::asio::ip::tcp::socket connecting(io), accepted(io);
  connecting.connect(listener.local_endpoint());
  listener.accept(accepted);
  auto v4 = [](const boost::asio::ip::tcp::endpoint &e) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(e.port());
    a.sin_addr.s_addr = htonl(e.address().to_v4().to_uint());
    return a;
  };
  sockaddr_in local = v4(accepted.local_endpoint()), peer = v4(accepted.remote_endpoint());
  EXPECT_EQ(loopbackpeeruid(local, peer), geteuid());
  EXPECT_EQ(listeneruid(local), geteuid());
  // The same ends the other way round name the accepted socket, ours too;
  // a port nobody connected from names nothing.
  EXPECT_EQ(loopbackpeeruid(peer, local), geteuid());
  sockaddr_in stranger = peer;
  stranger.sin_port = htons(static_cast<unsigned short>(ntohs(peer.sin_port) ^ 1));
  EXPECT_EQ(loopbackpeeruid(local, stranger), std::nullopt);
}

TEST(authserver, connection_of_another_user_gets_404_and_page_hears_nothing) {
  pagerecorder page;
  callbackserverconfig config;
  config.port = 0;
  config.notify = page.notifier();
  config.owner = geteuid() + 1;
  testing::internal::CaptureStderr();
  auto server = startcallbackserver(std::move(config));
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauth?code=secret")), notfound);
  stopcallbackserver(std::move(server));
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(page.received().empty());
  EXPECT_NE(log.find("refused a connection of uid " + std::to_string(geteuid())), std::string::npos) << log;
  EXPECT_EQ(log.find("secret"), std::string::npos) << log;
}

TEST(authserver, completion_request_gets_success_page_and_page_gets_target) {
  pagerecorder page;
  auto server = startonanyport(page);
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauth?code=abc")), success);
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauthX")), success);
  // The loopback name, field names in any case, and a browser too old to
  // send Sec-Fetch fields.
  EXPECT_EQ(roundtrip(server->port(), "GET /api/user/completeauth?code=q%20r HTTP/1.1\r\nhost: LocalHost:" +
                                          std::to_string(server->port()) + "\r\nAccept: */*\r\n\r\n"),
            success);

  auto messages = page.received();
  ASSERT_EQ(messages.size(), 3u);
  for (const auto &m : messages) {
    EXPECT_EQ(m.name, "onCompleteAuth");
    EXPECT_EQ(m.args.size(), 1u);
  }
  EXPECT_EQ(messages[0].getstring(0), "/api/user/completeauth?code=abc");
  EXPECT_EQ(messages[1].getstring(0), "/api/user/completeauthX");
  EXPECT_EQ(messages[2].getstring(0), "/api/user/completeauth?code=q%20r");
}

TEST(authserver, anything_else_gets_404_and_page_hears_nothing) {
  pagerecorder page;
  auto server = startonanyport(page);
  unsigned short port = server->port();
  EXPECT_EQ(roundtrip(port, request(port, "/favicon.ico")), notfound);
  EXPECT_EQ(roundtrip(port, request(port, "/api/user/completeauth?code=abc", "HTTP/1.0")), notfound);
  EXPECT_EQ(roundtrip(port, "POST /api/user/completeauth HTTP/1.1\r\n\r\n"), notfound);
  {
    // Only part of the request line: the one read sees no complete line.
    client partial(port);
    partial.send("GET /api/user/completeauth?code=abc HTT");
    EXPECT_EQ(partial.readall(), notfound);
  }
  {
    client gone(port);
    ASSERT_TRUE(gone.connected);
  }
  // The listener is still there after all of that.
  EXPECT_EQ(roundtrip(port, request(port, "/api/user/completeauth?code=after")), success);
  auto messages = page.received();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].getstring(0), "/api/user/completeauth?code=after");
}

TEST(authserver, request_that_is_no_navigation_to_the_listener_gets_404_and_page_hears_nothing) {
  pagerecorder page;
  auto server = startonanyport(page);
  const std::string port = std::to_string(server->port());
  const std::string line = "GET /api/user/completeauth?code=forged HTTP/1.1\r\n";
  testing::internal::CaptureStderr();
  EXPECT_EQ(roundtrip(server->port(), line + "Host: 127.0.0.1:" + port +
                                          "\r\nSec-Fetch-Dest: image\r\nSec-Fetch-Mode: no-cors\r\n\r\n"),
            notfound);
  EXPECT_EQ(roundtrip(server->port(), line + "Host: 127.0.0.1:" + port + "\r\nSec-Fetch-Mode: no-cors\r\n\r\n"),
            notfound);
  EXPECT_EQ(roundtrip(server->port(), line + "Host: rebound.example:" + port + "\r\n\r\n"), notfound);
  EXPECT_EQ(roundtrip(server->port(), line + "\r\n"), notfound);
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauth?code=real")), success);
  stopcallbackserver(std::move(server));
  std::string log = testing::internal::GetCapturedStderr();
  auto messages = page.received();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].getstring(0), "/api/user/completeauth?code=real");
  EXPECT_NE(log.find("refused a sign-in request that is not a browser's top-level navigation"), std::string::npos)
      << log;
}

TEST(authserver, silent_connections_wait_in_the_kernel_and_take_no_place_of_a_browser) {
  pagerecorder page;
  auto server = startonanyport(page, 60s);
  std::vector<std::unique_ptr<client>> silent;
  for (std::size_t i = 0; i < maxopenconnections + 8; ++i) silent.push_back(std::make_unique<client>(server->port()));
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauth?code=browser")), success);
  EXPECT_EQ(page.received().size(), 1u);
}

// Connections taken before their request comes (here at once) are held up
// to the cap.
TEST(authserver, connections_beyond_the_cap_are_closed_at_once_and_slots_come_back) {
  pagerecorder page;
  auto server = startonanyport(page, 60s, 0s);
  unsigned short port = server->port();
  // Connections that ended give their place back.
  for (std::size_t i = 0; i < 2 * maxopenconnections; ++i)
    ASSERT_EQ(roundtrip(port, request(port, "/favicon.ico")), notfound) << i;

  testing::internal::CaptureStderr();
  std::vector<std::unique_ptr<client>> open;
  for (std::size_t i = 0; i < maxopenconnections; ++i) open.push_back(std::make_unique<client>(port));
  // Accepted after all of those (the kernel queues them in order), while the
  // listener holds them waiting for their requests.
  auto began = clock_type::now();
  client extra(port);
  ASSERT_TRUE(extra.connected);
  EXPECT_EQ(extra.readall(), "");
  EXPECT_LT(clock_type::now() - began, 4s);  // closed, not left to the client's 5 s limit
  // The ones held are still served.
  open.front()->send(request(port, "/api/user/completeauth?code=first"));
  EXPECT_EQ(open.front()->readall(), success);
  open.back()->send(request(port, "/api/user/completeauth?code=last"));
  EXPECT_EQ(open.back()->readall(), success);
  stopcallbackserver(std::move(server));
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("callback server: 64 connections open, closing new ones until one ends"), std::string::npos)
      << log;
  EXPECT_EQ(page.received().size(), 2u);
}

TEST(authserver, page_notification_failure_still_answers_the_browser) {
  callbackserverconfig config;
  config.port = 0;
  config.notify = [](pagemessage) { throw std::runtime_error("page is gone"); };
  auto server = startcallbackserver(std::move(config));
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauth?code=1")), success);
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/other")), notfound);
}

TEST(authserver, each_connection_gets_one_reply_to_its_first_request) {
  pagerecorder page;
  auto server = startonanyport(page);
  unsigned short port = server->port();
  {
    // Two open connections are answered independently, the later one first.
    client first(port), second(port);
    second.send(request(port, "/api/user/completeauth?n=2"));
    EXPECT_EQ(second.readall(), success);
    first.send(request(port, "/api/user/completeauth?n=1"));
    EXPECT_EQ(first.readall(), success);
  }
  {
    // A second request in the same packet is never looked at.
    client both(port);
    both.send(request(port, "/favicon.ico") + request(port, "/api/user/completeauth?n=3"));
    EXPECT_EQ(both.readall(), notfound);
  }
  {
    // Nor is one sent after the reply: the connection is closed.
    client again(port);
    again.send(request(port, "/api/user/completeauth?n=4"));
    std::string reply = again.readall();
    again.send(request(port, "/api/user/completeauth?n=5"));
    reply += again.readall();
    EXPECT_EQ(reply, success);
  }
  auto messages = page.received();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].getstring(0), "/api/user/completeauth?n=2");
  EXPECT_EQ(messages[1].getstring(0), "/api/user/completeauth?n=1");
  EXPECT_EQ(messages[2].getstring(0), "/api/user/completeauth?n=4");
}

TEST(authserver, silent_client_is_answered_404_after_idle_timeout_without_blocking_others) {
  pagerecorder page;
  auto server = startonanyport(page, 400ms);
  auto began = clock_type::now();
  client silent(server->port());
  ASSERT_TRUE(silent.connected);
  EXPECT_EQ(roundtrip(server->port(), request(server->port(), "/api/user/completeauth?code=meanwhile")), success);
  EXPECT_EQ(silent.readall(), notfound);
  auto waited = clock_type::now() - began;
  EXPECT_GE(waited, 350ms);
  EXPECT_LT(waited, 4s);
  EXPECT_EQ(page.received().size(), 1u);
}

TEST(authserver, port_in_use_leaves_program_running_without_listener) {
  boost::asio::io_context io;
  boost::asio::ip::tcp::acceptor other(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
  unsigned short taken = other.local_endpoint().port();

  pagerecorder page;
  callbackserverconfig config;
  config.port = taken;
  config.notify = page.notifier();
  testing::internal::CaptureStderr();
  auto server = startcallbackserver(callbackserverconfig(config));
  std::string log = testing::internal::GetCapturedStderr();
  ASSERT_NE(server, nullptr);
  EXPECT_FALSE(server->listening());
  EXPECT_EQ(server->port(), 0);
  EXPECT_NE(log.find("callback server: cannot listen on 127.0.0.1:" + std::to_string(taken)), std::string::npos) << log;
  // Held by this user: no other user's copy to name.
  EXPECT_EQ(server->heldbyotheruser(), std::nullopt);
  EXPECT_EQ(log.find("another user"), std::string::npos) << log;
  stopcallbackserver(std::move(server));

  // Seen by a program of another user, the holder is named.
  config.owner = geteuid() + 1;
  testing::internal::CaptureStderr();
  server = startcallbackserver(std::move(config));
  log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(server->heldbyotheruser(), geteuid());
  EXPECT_NE(log.find("another user's copy of the program (uid " + std::to_string(geteuid()) + ") holds the port"),
            std::string::npos)
      << log;
  stopcallbackserver(std::move(server));

  // The other program keeps its port.
  client c(taken);
  EXPECT_TRUE(c.connected);
  boost::asio::ip::tcp::socket accepted(io);
  other.accept(accepted);
  EXPECT_TRUE(accepted.is_open());
}

TEST(authserver, failed_accept_is_retried_once_descriptors_are_free) {
  pagerecorder page;
  auto server = startonanyport(page, 5s, 0s);

  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
  rlimit lowered = original;
  lowered.rlim_cur = std::min<rlim_t>(original.rlim_cur, 512);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);

  testing::internal::CaptureStderr();
  int socketfd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(socketfd, 0);
  std::vector<int> fillers;
  for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) fillers.push_back(fd);
  ASSERT_EQ(errno, EMFILE);

  // The kernel completes the connection; the listener cannot take it yet.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server->port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(socketfd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
  std::this_thread::sleep_for(300ms);

  for (int fd : fillers) ::close(fd);
  setrlimit(RLIMIT_NOFILE, &original);
  std::string text = request(server->port(), "/api/user/completeauth?code=late");
  ASSERT_EQ(::send(socketfd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
  timeval limit{5, 0};
  ::setsockopt(socketfd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string reply;
  char chunk[1024];
  for (ssize_t n; (n = ::recv(socketfd, chunk, sizeof chunk, 0)) > 0;) reply.append(chunk, static_cast<std::size_t>(n));
  ::close(socketfd);
  std::string log = testing::internal::GetCapturedStderr();

  EXPECT_EQ(reply, success);
  EXPECT_NE(log.find("callback server: accept failed"), std::string::npos) << log;
  EXPECT_EQ(page.received().size(), 1u);
}

TEST(authserver, stop_is_prompt_and_drops_open_connections) {
  pagerecorder page;
  auto server = startonanyport(page, 60s, 0s);
  client waiting(server->port());
  ASSERT_TRUE(waiting.connected);
  std::this_thread::sleep_for(100ms);  // let the listener accept it

  auto began = clock_type::now();
  stopcallbackserver(std::move(server));
  EXPECT_LT(clock_type::now() - began, 2s);
  // Abandoned, not answered.
  EXPECT_EQ(waiting.readall(), "");
  EXPECT_TRUE(page.received().empty());
}
