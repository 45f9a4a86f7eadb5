#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// The name every bridge socket derives from; each worker gets a socket of its
// own in a private directory named after it.
inline constexpr std::string_view pluginpipename = "\\\\.\\pipe\\orva.plugins.v1";

// The last component of a pipe name: "orva.plugins.v1" for the name above.
std::string pipebasename(std::string_view pipename);

// $XDG_RUNTIME_DIR, or /tmp when it is unset or empty.
std::string runtimedirectory();

// The directory of the running program (from /proc/self/exe); empty when it
// cannot be read.
std::string programdirectory();

// A started bridge process. The destructor reaps it if it has already ended;
// a bridge still running is left to end by itself.
class bridgeprocess {
 public:
  bridgeprocess() = default;
  ~bridgeprocess();
  bridgeprocess(const bridgeprocess &) = delete;
  bridgeprocess &operator=(const bridgeprocess &) = delete;

  // posix_spawn of argv[0] with these arguments and the program's
  // environment; only standard input, output and error are inherited.
  bool spawn(const std::vector<std::string> &argv);
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

// The listening end of one bridge's socket: a Unix-domain stream socket named
// "pipe" in a fresh directory (mode 0700) of `parent`, so only this user can
// reach it and no two workers can ever share one. The directory is removed as
// soon as the bridge has connected, or by the destructor.
class bridgelistener {
 public:
  enum class outcome { connected, exited, timedout, failed };

  bridgelistener() = default;
  ~bridgelistener();
  bridgelistener(const bridgelistener &) = delete;
  bridgelistener &operator=(const bridgelistener &) = delete;

  bool open(const std::string &parent, std::string_view basename);
  const std::string &path() const { return socketpath; }

  // Waits up to `wait` for `bridge` itself to connect, watching the process:
  // connections from other processes are refused. Returns the connected
  // socket, or -1 with the reason (and the exit code when the bridge ended).
  int acceptfrom(bridgeprocess &bridge, std::chrono::milliseconds wait, outcome &why, int &exitcode);

 private:
  void remove();

  int fd = -1;
  std::string dir;
  std::string socketpath;
};
