#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "common/ownedfd.h"

// Each worker's relay socket is in a private directory whose name begins
// with this.
inline constexpr std::string_view relaysocketprefix = "orva.plugins.v1";

// A started relay process. The destructor reaps it if it has already ended;
// a relay still running is left to end by itself.
class relayprocess {
 public:
  relayprocess() = default;
  ~relayprocess();
  relayprocess(const relayprocess &) = delete;
  relayprocess &operator=(const relayprocess &) = delete;

  // Starts argv[0] as a child of this program (spawnprocess, spawnmode::child),
  // with `passfd` as its descriptor 3.
  bool spawn(const std::vector<std::string> &argv, int passfd);
  // Waits up to `wait` for the process to end. True when it has, with its
  // exit code in `code` (128 + signal number for a process killed by a signal).
  bool waitexit(std::chrono::milliseconds wait, int &code);
  // Kills the process if it still runs and reaps it.
  void stop();
  pid_t pid() const { return child; }

 private:
  pid_t child = -1;
  bool reaped = false;
};

// The listening end of one relay's socket: a Unix-domain stream socket named
// "pipe" in a fresh directory (mode 0700) of `parent`, so only this user can
// reach it and no two workers can ever share one. The directory is removed as
// soon as the relay has connected, or by the destructor.
class relaylistener {
 public:
  enum class outcome { connected, exited, timedout, failed };

  relaylistener() = default;
  ~relaylistener();
  relaylistener(const relaylistener &) = delete;
  relaylistener &operator=(const relaylistener &) = delete;

  bool open(const std::string &parent, std::string_view basename);
  const std::string &path() const { return socketpath; }

  // Waits up to `wait` for `relay` itself to connect, watching the process:
  // connections from other processes are refused. Returns the connected
  // socket, or nothing with the reason (and the exit code when the relay
  // ended).
  ownedfd acceptfrom(relayprocess &relay, std::chrono::milliseconds wait, outcome &why, int &exitcode);

 private:
  void remove();

  ownedfd fd;
  std::string dir;
  std::string socketpath;
};
