#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

// What the system reports of its network.
enum class networkreach { unknown, offline, online };
// Whether a report of `now` after `before` is the network coming back. The
// first report of a backend, after `unknown`, is the state it found.
bool networkreturned(networkreach before, networkreach now);

// How the engine says a load failed: its error domains, in its order.
enum class loaderrordomain { none, internal, connection, certificate, http, ftp, dns, httpstatus };

// A failed load of the start page: what the program does about it, and what
// to tell the user.
struct loadfailure {
  enum class action {
    // The service could not be reached or is down for a while: try again.
    retry,
    // The service answered with a page of its own: that stays.
    leave,
    // Another navigation took over: its outcome counts instead.
    replaced,
    // The engine has something to say (a certificate error, a refused port):
    // its error page is shown.
    showerror,
  };
  action what = action::leave;
  std::string reason;
};
// `code` is the engine's error code (negative) or the HTTP status;
// `errortext` the engine's name for it.
loadfailure classifyloadfailure(loaderrordomain domain, int code, const std::string &errortext);

// The wait before retry number `retry` (0 for the first): 2 s doubling up to
// 60 s, shortened by up to a quarter by `jitter` (in [0, 1)) so that many
// copies started by one network outage do not all ask the service at once.
std::chrono::milliseconds retrydelay(unsigned retry, double jitter);

// Reloads of the page after its renderer ended abnormally: the first at once,
// those that follow with back-off; after `limit` reloads within `window` the
// program stops reloading by itself, since the page keeps bringing its
// renderer down.
class rendererrestarts {
 public:
  using clock = std::chrono::steady_clock;
  static constexpr unsigned limit = 5;
  static constexpr std::chrono::minutes window{2};

  // The renderer ended at `now`: the wait before reloading, or nothing when
  // the program should stop reloading.
  std::optional<std::chrono::milliseconds> onended(clock::time_point now, double jitter);

 private:
  std::deque<clock::time_point> reloads;
};
