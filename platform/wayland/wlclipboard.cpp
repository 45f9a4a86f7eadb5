#include "platform/wayland/wlclipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/debuglog.h"
#include "platform/linux/clipboardbudget.h"

extern char **environ;

namespace {
using clock = std::chrono::steady_clock;

int msleft(clock::time_point deadline) {
  return static_cast<int>(
      std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count()));
}

bool inpath(const char *program) {
  const char *path = std::getenv("PATH");
  std::string rest = path ? path : "";
  for (std::size_t start = 0; start <= rest.size();) {
    const std::size_t end = std::min(rest.find(':', start), rest.size());
    const std::string dir = rest.substr(start, end - start);
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// The compositor's globals, read with a sync request answered in time.
bool compositorhas(const char *interface) {
  wl_display *d = wl_display_connect(nullptr);
  if (!d) return false;
  struct state {
    const char *wanted;
    bool found = false;
    bool done = false;
  } s{interface};
  static const wl_registry_listener registrylistener = {
      [](void *data, wl_registry *, uint32_t, const char *name, uint32_t) {
        auto *st = static_cast<state *>(data);
        if (std::strcmp(name, st->wanted) == 0) st->found = true;
      },
      [](void *, wl_registry *, uint32_t) {}};
  static const wl_callback_listener synclistener = {
      [](void *data, wl_callback *, uint32_t) { static_cast<state *>(data)->done = true; }};
  wl_registry *registry = wl_display_get_registry(d);
  wl_registry_add_listener(registry, &registrylistener, &s);
  wl_callback *sync = wl_display_sync(d);
  wl_callback_add_listener(sync, &synclistener, &s);
  const auto deadline = clock::now() + std::chrono::seconds(1);
  while (!s.done) {
    while (wl_display_prepare_read(d) != 0) wl_display_dispatch_pending(d);
    wl_display_flush(d);
    pollfd p{wl_display_get_fd(d), POLLIN, 0};
    if (::poll(&p, 1, msleft(deadline)) <= 0) {
      wl_display_cancel_read(d);
      break;
    }
    if (wl_display_read_events(d) < 0) break;
    wl_display_dispatch_pending(d);
  }
  wl_callback_destroy(sync);
  wl_registry_destroy(registry);
  wl_display_disconnect(d);
  return s.done && s.found;
}

// Starts a program found in PATH with `in` as its standard input and `out`
// as its standard output (-1: /dev/null), nothing else of ours open, the
// default signal handling, and, when `ownsession`, a session of its own (it
// may outlive this program). Returns the process id, or -1.
pid_t start(std::vector<std::string> args, int in, int out, bool ownsession) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in >= 0)
    posix_spawn_file_actions_adddup2(&actions, in, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out >= 0)
    posix_spawn_file_actions_adddup2(&actions, out, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  // Not the debug output: wl-paste complains there of every empty clipboard
  // a script polls, and the log copier's pipe closes when this program ends,
  // which would stop a background wl-copy at its next message.
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                     (ownsession ? POSIX_SPAWN_SETSID : 0)));
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return pid;
}

// Waits for a program until the deadline, then stops it; true when it ended
// by itself with status 0.
bool finish(pid_t pid, clock::time_point deadline) {
  const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, msleft(deadline)) <= 0) ::kill(pid, SIGKILL);
    ::close(fd);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}  // namespace

bool wlclipboard::available() {
  if (!inpath("wl-paste") || !inpath("wl-copy")) return false;
  return compositorhas("zwlr_data_control_manager_v1");
}

std::string wlclipboard::read() {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return {};
  const pid_t pid = start({"wl-paste", "--no-newline", "--type", "text"}, -1, out[1], false);
  ::close(out[1]);
  if (pid < 0) {
    ::close(out[0]);
    return {};
  }
  clipboardbudget budget(clock::now());
  std::string text;
  bool whole = false;
  char buffer[65536];
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const auto wait = budget.waitfor(clock::now(), clipboardbudget::maxtime);
    if (wait.count() <= 0 || ::poll(&p, 1, static_cast<int>(wait.count())) <= 0) break;
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      whole = n == 0;
      break;
    }
    // Too large a text is no text: a cut one could be dialled wrongly.
    if (!budget.fits(text.size(), static_cast<std::size_t>(n))) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  // Nothing copied, or no text among it, ends wl-paste with a failure.
  if (!finish(pid, whole ? clock::now() + std::chrono::seconds(1) : clock::now()) || !whole) return {};
  if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  return text;
}

void wlclipboard::write(const std::string &bytes) {
  // A socket rather than a pipe: sending to a wl-copy that ended early gives
  // an error instead of SIGPIPE, which would end this program.
  int in[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) return;
  const pid_t pid = start({"wl-copy", "--type", "text/plain;charset=utf-8"}, in[0], -1, true);
  ::close(in[0]);
  if (pid < 0) {
    ::close(in[1]);
    debugout("clipboard: wl-copy could not be started");
    return;
  }
  const auto deadline = clock::now() + clipboardbudget::maxtime;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    pollfd p{in[1], POLLOUT, 0};
    if (::poll(&p, 1, msleft(deadline)) <= 0) break;
    const ssize_t n = ::send(in[1], bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  ::close(in[1]);
  // wl-copy takes the clipboard, then leaves a copy of itself serving it.
  if (!finish(pid, deadline) || sent < bytes.size()) debugout("clipboard: wl-copy did not take the text");
}
