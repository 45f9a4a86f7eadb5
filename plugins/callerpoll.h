#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "plugins/qxp.h"

// The relayed plugins' answer watches for a calling thread without an event
// loop (the benchmark, tests): runonce() does what the program's event loop
// does for them. One thread only; the watches must end before this object.
class callerpoll {
 public:
  callerpoll() = default;
  // Work still left for later is done.
  ~callerpoll() { rundeferred(); }
  callerpoll(const callerpoll &) = delete;
  callerpoll &operator=(const callerpoll &) = delete;

  // For qxpenv::watch.
  readwatcher watcher();
  // For qxpenv::later: the work runs at the start of the next runonce().
  std::function<void(std::function<void()>)> deferrer();
  // Runs the work left for later, then waits up to `timeoutms` for a watch
  // that is on to have data and runs those that do; false when none is on
  // (the worker reads the answers).
  bool runonce(int timeoutms);
  // Runs the work left for later now, as the event loop does once the
  // answer delivered within a call has gone.
  void rundeferred();

 private:
  struct watch;
  std::vector<watch *> watches;
  std::vector<std::function<void()>> deferred;
};
