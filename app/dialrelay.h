#pragma once

#include <functional>
#include <optional>
#include <string>

// Numbers to dial from telephone links (the command line, or a later start
// that handed its link over) reach the page as "dial", the message qx.dial
// sends. A page that has not finished loading, or whose bridge does not yet
// listen, would lose it: until both have happened the number waits, and a
// newer link replaces a waiting one (the user's last click counts).
class dialrelay {
 public:
  explicit dialrelay(std::function<void(const std::string &)> dial) : dial(std::move(dial)) {}

  void request(const std::string &number);
  // The main page finished loading (ok: without an error).
  void pageloaded(bool ok);
  // The page's bridge has begun to listen for messages.
  void bridgelistening();

  bool waiting() const { return pending.has_value(); }

 private:
  void flush();

  std::function<void(const std::string &)> dial;
  std::optional<std::string> pending;
  bool loaded = false;
  bool listening = false;
};
