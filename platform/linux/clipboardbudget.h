#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

// Bounds on one read of the clipboard, over every format asked for and every
// piece of an incremental (INCR) transfer. Each answer of the owner is
// awaited for a while only, but an owner that keeps sending pieces in time
// could otherwise hold the reader (a script, on the UI thread) and fill its
// memory without end.
class clipboardbudget {
 public:
  using clock = std::chrono::steady_clock;
  static constexpr std::size_t maxbytes = std::size_t{64} << 20;
  static constexpr std::chrono::milliseconds maxtime{5000};

  explicit clipboardbudget(clock::time_point start) : deadline(start + maxtime) {}

  // How long to wait for the owner's next answer: `wait`, or what is left of
  // the whole read when that is less; zero once it is used up.
  std::chrono::milliseconds waitfor(clock::time_point now, std::chrono::milliseconds wait) const {
    if (toolarge) return std::chrono::milliseconds::zero();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    return std::clamp(left, std::chrono::milliseconds::zero(), wait);
  }

  // Whether a text of `held` bytes (at most maxbytes) may grow by `piece`.
  // When it may not, the read is over: the text in another format would be
  // as large.
  bool fits(std::size_t held, std::size_t piece) {
    toolarge = toolarge || held > maxbytes || piece > maxbytes - held;
    return !toolarge;
  }

 private:
  clock::time_point deadline;
  bool toolarge = false;
};
