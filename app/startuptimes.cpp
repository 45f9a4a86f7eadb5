#include "app/startuptimes.h"

#include <string>

#include "common/debuglog.h"

void startuptimes::entered() const {
  const auto since = std::chrono::system_clock::now().time_since_epoch() - (std::chrono::steady_clock::now() - begin);
  debugout("start-up: main entered at " +
           std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()));
}

void startuptimes::mark(std::string_view phase) const {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
  debugout("start-up: " + std::string(phase) + " after " + std::to_string(ms.count()) + " ms");
}
