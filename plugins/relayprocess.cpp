#include "plugins/relayprocess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/paths.h"

extern char **environ;

std::string runtimedirectory() {
  const char *dir = std::getenv("XDG_RUNTIME_DIR");
  return dir && *dir ? std::string(dir) : std::string("/tmp");
}

std::string programdirectory() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) return {};
  return exedirof(std::string_view(path, static_cast<std::size_t>(n)));
}

namespace {

int exitcodeof(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

relayprocess::~relayprocess() {
  int code;
  if (child > 0 && !reaped) waitexit(std::chrono::milliseconds(0), code);
}

bool relayprocess::spawn(const std::vector<std::string> &argv) {
  std::vector<char *> args;
  for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  // Descriptors other threads opened without close-on-exec stay here.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  child = pid;
  reaped = false;
  return true;
}

bool relayprocess::waitexit(std::chrono::milliseconds wait, int &code) {
  if (child <= 0 || reaped) return false;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(child, &status, WNOHANG);
    if (r == child) {
      reaped = true;
      code = exitcodeof(status);
      return true;
    }
    if (r < 0 && errno != EINTR) {
      // Reaped elsewhere: it has ended, its code is unknown.
      reaped = true;
      code = -1;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void relayprocess::stop() {
  if (child <= 0 || reaped) return;
  ::kill(child, SIGKILL);
  int status;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  reaped = true;
}

relaylistener::~relaylistener() { remove(); }

bool relaylistener::open(const std::string &parent, std::string_view basename) {
  std::string pattern = parent + "/" + std::string(basename) + ".XXXXXX";
  if (!::mkdtemp(pattern.data())) return false;
  dir = pattern;
  socketpath = dir + "/pipe";

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketpath.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketpath.c_str(), socketpath.size() + 1);

  fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) return false;
  return ::listen(fd, 4) == 0;
}

int relaylistener::acceptfrom(relayprocess &relay, std::chrono::milliseconds wait, outcome &why,
                               int &exitcode) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (relay.waitexit(std::chrono::milliseconds(0), exitcode)) {
      why = outcome::exited;
      return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      why = outcome::timedout;
      return -1;
    }
    // Short slices so that a relay that ends without connecting is noticed.
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    if (ready < 0 && errno != EINTR) {
      why = outcome::failed;
      return -1;
    }
    if (ready <= 0) continue;
    const int conn = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) continue;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(conn, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid == relay.pid()) {
      remove();
      why = outcome::connected;
      return conn;
    }
    ::close(conn);
  }
}

void relaylistener::remove() {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
  if (!socketpath.empty()) {
    ::unlink(socketpath.c_str());
    socketpath.clear();
  }
  if (!dir.empty()) {
    ::rmdir(dir.c_str());
    dir.clear();
  }
}
