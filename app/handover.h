#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// One copy of the program runs per user and display. A later start hands its
// request to the running copy over the command socket, one line each, and
// ends; the running copy answers "ok" once it has taken the request.

struct handoverrequest {
  enum class kind { show, dial };
  kind what = kind::show;
  std::string number;  // for dial: a number as dialablenumber returns it
  bool operator==(const handoverrequest &) const = default;
};

// "show" or "dial <number>".
std::string handoverline(const handoverrequest &r);
// The request of a line; nothing for any other text, including a dial line
// whose number is not dialable.
std::optional<handoverrequest> parsehandoverline(std::string_view line);

// The command socket's path: in the directory `dir`, named after the user
// and the X display, so that copies on other displays (a second session, a
// virtual screen) run on their own.
std::string commandsocketpath(std::string_view dir, unsigned uid, std::string_view display);
// The same for this process: the runtime directory, getuid(), $DISPLAY.
std::string commandsocketpath();

enum class handoverresult {
  delivered,   // the running copy answered "ok"
  notrunning,  // nothing listens on the socket
  refused,     // the running copy answered something else
  gone,        // connected, but closed without an answer (the copy is ending)
  noanswer,    // connected, but no answer within the wait
};

// The one client of the command socket, without Qt (it runs before the
// application object exists): connects to the socket, sends `line` and a
// newline, and waits up to `wait` for the answer line.
handoverresult sendtorunningcopy(const std::string &socketpath, const std::string &line,
                                 std::chrono::milliseconds wait);
