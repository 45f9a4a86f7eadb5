#pragma once

#include <chrono>
#include <string_view>

// The moments of the program's start-up, as debug lines: where its own
// start-up time goes (before the engine starts, the scripts, the tray, the
// first load), for whoever measures it.
class startuptimes {
 public:
  // Made as main is entered; says nothing yet (a request handed to a running
  // copy writes nothing to standard error).
  startuptimes() = default;
  // "start-up: main entered at E": E in milliseconds since the epoch.
  void entered() const;
  // "start-up: <phase> after N ms" since main was entered, N to a tenth.
  void mark(std::string_view phase) const;

 private:
  std::chrono::steady_clock::time_point begin = std::chrono::steady_clock::now();
};
