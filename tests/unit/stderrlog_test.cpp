// threads: the program's lines and those of other writers meet in one file.
#include "app/stderrlog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/debuglog.h"

namespace {

std::string readfile(const std::filesystem::path &path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// The copier ends on its own once the pipe is closed; waits until the file
// holds `bytes` bytes or five seconds have passed.
std::string waitforfile(const std::filesystem::path &path, std::size_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string text = readfile(path);
  while (text.size() < bytes && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    text = readfile(path);
  }
  return text;
}

class stderrlogtest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("stderrlogtest." + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // The terminal side goes to a file of its own, so that the test's
    // output stays readable and both copies can be compared.
    savedstderr = ::dup(2);
    const std::string terminal = (dir / "terminal").string();
    std::FILE *t = std::fopen(terminal.c_str(), "w");
    ::dup2(::fileno(t), 2);
    std::fclose(t);
  }
  void TearDown() override {
    ::dup2(savedstderr, 2);
    ::close(savedstderr);
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  int savedstderr = -1;
};

}  // namespace

TEST_F(stderrlogtest, own_lines_and_other_writers_lines_arrive_whole_in_both_copies) {
  constexpr int writers = 3, lines = 300;
  std::size_t expected = 0;
  {
    stderrlog log((dir / "debug.log").string());
    std::vector<std::thread> threads;
    // Debug lines of the program, written straight to both copies ...
    for (int w = 0; w < writers; ++w)
      threads.emplace_back([w] {
        for (int i = 0; i < lines; ++i) {
          debuglines two;
          two.add("own " + std::to_string(w) + " " + std::to_string(i));
          two.add(std::string(700, char('a' + w)));
        }
      });
    // ... and lines written to descriptor 2 as a sub-process or a library
    // does, in pieces, which pass through the copier.
    threads.emplace_back([] {
      for (int i = 0; i < lines; ++i) {
        const std::string line = "other " + std::to_string(i) + " " + std::string(1500, 'z');
        const std::size_t half = line.size() / 2;
        EXPECT_EQ(::write(2, line.data(), half), static_cast<ssize_t>(half));
        EXPECT_EQ(::write(2, line.data() + half, line.size() - half), static_cast<ssize_t>(line.size() - half));
        EXPECT_EQ(::write(2, "\n", 1), 1);
      }
    });
    for (auto &t : threads) t.join();
    for (int w = 0; w < writers; ++w)
      for (int i = 0; i < lines; ++i)
        expected += ("own " + std::to_string(w) + " " + std::to_string(i)).size() + 1 + 700 + 1;
    for (int i = 0; i < lines; ++i) expected += ("other " + std::to_string(i) + " ").size() + 1500 + 1;
  }

  for (const char *copy : {"debug.log", "terminal"}) {
    const std::string text = waitforfile(dir / copy, expected);
    ASSERT_EQ(text.size(), expected) << copy;
    std::istringstream in(text);
    std::map<std::string, int> next;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("own ")) {
        const std::string writer = line.substr(0, 5);
        EXPECT_EQ(line, writer + " " + std::to_string(next[writer]++)) << copy;
        std::string body;
        ASSERT_TRUE(std::getline(in, body));
        EXPECT_EQ(body, std::string(700, char('a' + (line[4] - '0')))) << copy;
      } else {
        EXPECT_EQ(line, "other " + std::to_string(next["other"]++) + " " + std::string(1500, 'z')) << copy;
      }
    }
    for (int w = 0; w < writers; ++w) EXPECT_EQ(next["own " + std::to_string(w)], lines) << copy;
    EXPECT_EQ(next["other"], lines) << copy;
  }
}

TEST_F(stderrlogtest, a_line_without_its_end_is_not_held_back_for_good) {
  stderrlog log((dir / "debug.log").string());
  ASSERT_EQ(::write(2, "prompt> ", 8), 8);
  EXPECT_EQ(waitforfile(dir / "debug.log", 8), "prompt> ");
}

TEST_F(stderrlogtest, after_the_log_own_lines_go_to_standard_error_again) {
  { stderrlog log((dir / "debug.log").string()); }
  debugout("after");
  EXPECT_EQ(readfile(dir / "debug.log"), "");
  EXPECT_EQ(waitforfile(dir / "terminal", 6), "after\n");
}
