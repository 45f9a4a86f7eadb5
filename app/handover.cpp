#include "app/handover.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "app/dialuri.h"
#include "common/debuglog.h"
#include "common/fdio.h"
#include "common/paths.h"
#include "common/unixsocket.h"

bool ishotkeyname(std::string_view name) {
  return !name.empty() && name.size() <= maxhotkeyname &&
         std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

std::string handoverline(const handoverrequest &r) {
  switch (r.what) {
    case handoverrequest::kind::dial:
      return "dial " + r.number;
    case handoverrequest::kind::hotkey:
      return "hotkey " + r.name;
    case handoverrequest::kind::show:
      break;
  }
  return "show";
}

std::optional<handoverrequest> parsehandoverline(std::string_view line) {
  if (line == "show") return handoverrequest{handoverrequest::kind::show, {}, {}};
  if (line.starts_with("dial ") && isdialablenumber(line.substr(5)))
    return handoverrequest{handoverrequest::kind::dial, std::string(line.substr(5)), {}};
  if (line.starts_with("hotkey ") && ishotkeyname(line.substr(7)))
    return handoverrequest{handoverrequest::kind::hotkey, {}, std::string(line.substr(7))};
  return std::nullopt;
}

std::string commandsocketpath(std::string_view dir, unsigned uid, std::string_view display) {
  std::string path(dir);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  path += "/orvalink-desktop-commands-" + std::to_string(uid);
  if (!display.empty()) {
    path += '-';
    // The display name may hold characters a file name should not.
    for (const char c : display)
      path += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_') ? c : '_';
  }
  return path;
}

std::string commandsocketpath() {
  // Made (or refused) once: the program asks for the path when it hands
  // over and again when it listens.
  static const privatedir dir = privateruntimedir();
  if (dir.dir.empty()) {
    debugout("command socket: not used: " + dir.problem);
    return {};
  }
  const char *display = std::getenv("DISPLAY");
  return commandsocketpath(dir.dir, ::geteuid(), display ? display : "");
}

bool peeristhisuser(int fd, std::string_view refusal) {
  const std::optional<uid_t> peer = unixpeeruid(fd);
  if (peer && *peer == ::geteuid()) return true;
  debugout(std::string(refusal) + (peer ? " of uid " + std::to_string(*peer) : " whose user is unknown") +
           ", not this program's user");
  return false;
}

handoverresult sendtorunningcopy(const std::string &socketpath, const std::string &line,
                                 std::chrono::milliseconds wait) {
  // No socket file, or one left behind by a copy that has ended.
  const ownedfd socket = unixconnect(socketpath);
  if (!socket) return handoverresult::notrunning;
  if (!peeristhisuser(socket.get(), "command socket: nothing sent to a listener")) return handoverresult::refused;
  if (!sendall(socket.get(), line + "\n")) return handoverresult::gone;

  std::string answer;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (const auto nl = answer.find('\n'); nl != std::string::npos)
      return answer.substr(0, nl) == "ok" ? handoverresult::delivered : handoverresult::refused;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || waitreadable(socket.get(), left) <= 0) return handoverresult::noanswer;
    char buf[256];
    const ssize_t n = readsome(socket.get(), buf, sizeof buf);
    if (n <= 0) return handoverresult::gone;
    answer.append(buf, static_cast<std::size_t>(n));
  }
}
