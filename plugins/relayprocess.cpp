#include "plugins/relayprocess.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "common/fdio.h"
#include "common/spawn.h"
#include "common/unixsocket.h"

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

bool relayprocess::spawn(const std::vector<std::string> &argv, int passfd) {
  pid_t pid = -1;
  if (spawnprocess(argv, spawnmode::child, pid, passfd) != 0) return false;
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

  fd = unixlisten(socketpath, 4);
  return bool(fd);
}

ownedfd relaylistener::acceptfrom(relayprocess &relay, std::chrono::milliseconds wait, outcome &why, int &exitcode) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (relay.waitexit(std::chrono::milliseconds(0), exitcode)) {
      why = outcome::exited;
      return {};
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      why = outcome::timedout;
      return {};
    }
    // Short slices so that a relay that ends without connecting is noticed.
    const int ready = waitreadable(fd.get(), std::min(left, std::chrono::milliseconds(50)));
    if (ready < 0) {
      why = outcome::failed;
      return {};
    }
    if (ready == 0) continue;
    ownedfd conn(::accept4(fd.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!conn) continue;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(conn.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid == relay.pid()) {
      remove();
      why = outcome::connected;
      return conn;
    }
  }
}

void relaylistener::remove() {
  fd.reset();
  if (!socketpath.empty()) {
    ::unlink(socketpath.c_str());
    socketpath.clear();
  }
  if (!dir.empty()) {
    ::rmdir(dir.c_str());
    dir.clear();
  }
}
