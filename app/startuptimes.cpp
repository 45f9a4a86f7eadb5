#include "app/startuptimes.h"

#include <string>

#include "common/debuglog.h"

void startuptimes::entered() const {
  const auto since = std::chrono::system_clock::now().time_since_epoch() - (std::chrono::steady_clock::now() - begin);
  debugout("start-up: main entered at " +
           std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()));
}

void startuptimes::mark(std::string_view phase) const {
  // In tenths of a millisecond: several phases take one or two.
  const auto tenths =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin).count() / 100;
  debugout("start-up: " + std::string(phase) + " after " + std::to_string(tenths / 10) + "." +
           std::to_string(tenths % 10) + " ms");
}
