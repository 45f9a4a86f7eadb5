// threads: a blocked transfer is cut short by a signal from another thread.
#include "common/fdio.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::atomic<int> interruptions{0};
void oninterrupt(int) { interruptions.fetch_add(1); }

// SIGUSR1 with a handler installed without SA_RESTART, as a library or a
// debugger may leave it: a blocked read or write then returns early.
struct interruptible {
  struct sigaction old {};
  interruptible() {
    struct sigaction sa {};
    sa.sa_handler = oninterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR1, &sa, &old);
    interruptions = 0;
  }
  ~interruptible() { sigaction(SIGUSR1, &old, nullptr); }
};

// A thread doing one transfer; `tid` is known once it has started.
struct transfer {
  std::atomic<pid_t> tid{0};
  std::atomic<bool> ok{false};
  std::thread thread;
  template <class f>
  explicit transfer(f work)
      : thread([this, work] {
          tid = ::gettid();
          ok = work();
        }) {}
  ~transfer() {
    if (thread.joinable()) thread.join();
  }

  // Waits until the thread sleeps in the kernel, interrupts it there and
  // waits for its handler to have run.
  bool interruptwhenblocked() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      std::string stat;
      if (tid) std::getline(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/stat"), stat);
      const auto end = stat.rfind(')');
      if (end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'S') {
        pthread_kill(thread.native_handle(), SIGUSR1);
        while (interruptions == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        return interruptions > 0;
      }
      std::this_thread::yield();
    }
    return false;
  }
};

}  // namespace

TEST(fdio, readall_goes_on_after_a_short_read_and_a_signal) {
  interruptible signal;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  char got[10] = {};
  transfer reader([&] { return readall(fds[0], got, sizeof got); });
  ASSERT_TRUE(writeall(fds[1], "0123"));
  ASSERT_TRUE(reader.interruptwhenblocked());
  ASSERT_TRUE(writeall(fds[1], "456789"));
  reader.thread.join();
  EXPECT_TRUE(reader.ok);
  EXPECT_EQ(std::string(got, sizeof got), "0123456789");
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(fdio, sendall_goes_on_after_a_signal_cuts_a_write_short_inside_a_part) {
  interruptible signal;
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  // Larger than the socket's buffer, so the writer blocks inside the first part.
  std::string first(300000, '\0'), second(700000, '\0');
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i % 251);
  for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<char>(i % 241);
  iovec parts[2] = {{first.data(), first.size()}, {second.data(), second.size()}};
  transfer writer([&] { return sendall(fds[0], parts, 2); });
  ASSERT_TRUE(writer.interruptwhenblocked());
  std::string got(first.size() + second.size(), '\0');
  ASSERT_TRUE(readall(fds[1], got.data(), got.size()));
  ::close(fds[1]);  // a writer that would send more fails now
  writer.thread.join();
  EXPECT_TRUE(writer.ok);
  EXPECT_TRUE(got == first + second);
  ::close(fds[0]);
}
