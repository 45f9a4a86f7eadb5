#pragma once

#include <functional>
#include <optional>
#include <string>

// Numbers to dial from telephone links (the command line, or a later start
// that handed its link over) reach the page as "dial", the message qx.dial
// sends. Messages for the page are dropped while no service page is connected
// (before the first one connects, and from the start of a navigation until
// the next one does): until one is, the number waits, and a newer link
// replaces a waiting one (the user's last click counts). The page bridge
// holds it further until the page has loaded.
class dialrelay {
 public:
  explicit dialrelay(std::function<void(const std::string &)> dial) : dial(std::move(dial)) {}

  void request(const std::string &number);
  // A service page is connected and takes messages (true), or not (false).
  void pageconnected(bool connected);

  bool waiting() const { return pending.has_value(); }

 private:
  void flush();

  std::function<void(const std::string &)> dial;
  std::optional<std::string> pending;
  bool connected = false;
};
