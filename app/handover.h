#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// One copy of the program runs per user and display. A later start hands its
// request to the running copy over the command socket, one line each, and
// ends; the running copy answers "ok" once it has taken the request.

struct handoverrequest {
  enum class kind { show, dial, hotkey };
  kind what = kind::show;
  std::string number;  // for dial: a number as dialablenumber returns it
  std::string name;    // for hotkey: a name ishotkeyname accepts
  bool operator==(const handoverrequest &) const = default;
};

// The longest hotkey name a later start hands over.
inline constexpr std::size_t maxhotkeyname = 64;
// Whether `name` may name a hotkey: 1 to maxhotkeyname printable ASCII
// characters without spaces, so that it travels as one word of a line.
bool ishotkeyname(std::string_view name);

// "show", "dial <number>" or "hotkey <name>".
std::string handoverline(const handoverrequest &r);
// The request of a line; nothing for any other text, including a dial line
// whose number is not dialable and a hotkey line whose name is not one.
std::optional<handoverrequest> parsehandoverline(std::string_view line);

// The command socket's path: in the directory `dir`, named after the user
// and the X display, so that copies on other displays (a second session, a
// virtual screen) run on their own.
std::string commandsocketpath(std::string_view dir, unsigned uid, std::string_view display);
// The same for this process: its private runtime directory
// (privateruntimedir), geteuid(), $DISPLAY. Empty, with a debug line saying
// why, when that directory may not be used: no copy can then be reached or
// listen.
std::string commandsocketpath();

// Whether the process at the other end of the connected command socket `fd`
// runs as this process's user (effective user id, SO_PEERCRED). The running
// copy refuses connections of any other user, and a later start sends nothing
// to a listener of another user; `refusal` starts the debug line that names
// that user.
bool peeristhisuser(int fd, std::string_view refusal);

enum class handoverresult {
  delivered,   // the running copy answered "ok"
  notrunning,  // nothing listens on the socket
  refused,     // the running copy answered something else, or runs as another user
  gone,        // connected, but closed without an answer (the copy is ending)
  noanswer,    // connected, but no answer within the wait
};

// The one client of the command socket, without Qt (it runs before the
// application object exists): connects to the socket, checks that the
// listener is this user's, sends `line` and a newline, and waits up to
// `wait` for the answer line.
handoverresult sendtorunningcopy(const std::string &socketpath, const std::string &line,
                                 std::chrono::milliseconds wait);
