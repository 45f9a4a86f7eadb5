#include "app/handover.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/dialuri.h"

std::string handoverline(const handoverrequest &r) {
  return r.what == handoverrequest::kind::dial ? "dial " + r.number : "show";
}

std::optional<handoverrequest> parsehandoverline(std::string_view line) {
  if (line == "show") return handoverrequest{handoverrequest::kind::show, {}};
  if (line.starts_with("dial ") && isdialablenumber(line.substr(5)))
    return handoverrequest{handoverrequest::kind::dial, std::string(line.substr(5))};
  return std::nullopt;
}

std::string commandsocketpath(std::string_view runtimedir, std::string_view tmpdir, unsigned uid,
                              std::string_view display) {
  std::string dir(!runtimedir.empty() ? runtimedir : !tmpdir.empty() ? tmpdir : "/tmp");
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::string name = "orvalink-desktop-commands-" + std::to_string(uid);
  if (!display.empty()) {
    name += '-';
    // The display name may hold characters a file name should not.
    for (const char c : display)
      name += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_') ? c : '_';
  }
  return dir + "/" + name;
}

namespace {
std::string_view envof(const char *name) {
  const char *v = std::getenv(name);
  return v ? std::string_view(v) : std::string_view();
}
}  // namespace

std::string commandsocketpath() {
  return commandsocketpath(envof("XDG_RUNTIME_DIR"), envof("TMPDIR"), ::getuid(), envof("DISPLAY"));
}

handoverresult sendtorunningcopy(const std::string &socketpath, const std::string &line,
                                 std::chrono::milliseconds wait) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketpath.size() >= sizeof address.sun_path) return handoverresult::notrunning;
  std::memcpy(address.sun_path, socketpath.c_str(), socketpath.size() + 1);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return handoverresult::notrunning;
  if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
    // No socket file, or one left behind by a copy that has ended.
    ::close(fd);
    return handoverresult::notrunning;
  }

  const std::string out = line + "\n";
  std::size_t sent = 0;
  while (sent < out.size()) {
    const ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return handoverresult::gone;
    }
    sent += static_cast<std::size_t>(n);
  }

  std::string answer;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (const auto nl = answer.find('\n'); nl != std::string::npos) {
      ::close(fd);
      return answer.substr(0, nl) == "ok" ? handoverresult::delivered : handoverresult::refused;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buf[256];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return handoverresult::gone;
    }
    answer.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return handoverresult::noanswer;
}
