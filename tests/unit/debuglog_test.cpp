// threads: several threads write debug lines at the same time.
#include "common/debuglog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Standard error sent to a file for the life of the object.
class capturedstderr {
 public:
  capturedstderr() : path(std::filesystem::temp_directory_path() / ("debuglogtest." + std::to_string(::getpid()))) {
    std::fflush(stderr);
    saved = ::dup(2);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
  }
  ~capturedstderr() {
    restore();
    std::filesystem::remove(path);
  }
  void restore() {
    if (saved < 0) return;
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    saved = -1;
  }
  std::vector<std::string> lines() {
    restore();
    std::ifstream in(path);
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) all.push_back(line);
    return all;
  }

 private:
  std::filesystem::path path;
  int saved = -1;
};

}  // namespace

TEST(debuglog, lines_of_one_call_stay_together_whatever_other_threads_write) {
  capturedstderr captured;
  constexpr int threads = 4, calls = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t)
    writers.emplace_back([t] {
      const std::string name = "writer " + std::to_string(t);
      for (int i = 0; i < calls; ++i) {
        if (i % 2) {
          debugout(name + " single " + std::to_string(i));
        } else {
          const std::string payload(3000, static_cast<char>('a' + t));
          debuglines three;
          three.add(name + " send " + std::to_string(i));
          three.addloggable(payload);
          three.addloggable("\n");
        }
      }
    });
  for (auto &w : writers) w.join();

  const std::vector<std::string> lines = captured.lines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(threads * calls / 2 * 4));
  std::vector<int> next(threads, 0);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int t = lines[i][7] - '0';
    ASSERT_TRUE(lines[i].starts_with("writer ") && t >= 0 && t < threads) << lines[i];
    // Each writer's calls arrive in its own order ...
    const int call = next[t]++;
    if (call % 2) {
      EXPECT_EQ(lines[i], "writer " + std::to_string(t) + " single " + std::to_string(call));
      continue;
    }
    // ... and a call's three lines arrive one after another.
    ASSERT_LT(i + 2, lines.size());
    EXPECT_EQ(lines[i], "writer " + std::to_string(t) + " send " + std::to_string(call));
    EXPECT_EQ(lines[i + 1], std::string(3000, static_cast<char>('a' + t)));
    EXPECT_EQ(lines[i + 2], "\\x0a");
    i += 2;
  }
}
