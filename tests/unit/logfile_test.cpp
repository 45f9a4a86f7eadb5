#include "common/logfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class logfiletest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::temp_directory_path().string() + "/logfiletest.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  static std::string read(const fs::path &p) {
    std::ifstream in(p);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  static unsigned mode(const fs::path &p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  // One run of the program: opens the log and writes `text` to it.
  runlog run(const std::string &exedir, const std::string &statedir, const std::string &text) {
    runlog log = opendebuglog(exedir, statedir);
    if (log.fd) {
      EXPECT_EQ(::write(log.fd.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    return log;
  }
  fs::path dir;
};

}  // namespace

TEST_F(logfiletest, a_symbolic_link_in_place_of_the_log_is_not_written_through) {
  std::ofstream(dir / "victim") << "keep";
  fs::create_symlink(dir / "victim", dir / "cef_debug.log");
  const runlog log = run(dir.string(), (dir / "state").string(), "secret\n");
  ASSERT_TRUE(log.fd);
  EXPECT_EQ(log.path, (dir / "cef_debug.log").string());
  EXPECT_EQ(read(dir / "victim"), "keep");
  EXPECT_FALSE(fs::is_symlink(dir / "cef_debug.log"));
  EXPECT_EQ(read(dir / "cef_debug.log"), "secret\n");
  EXPECT_EQ(mode(dir / "cef_debug.log"), 0600u);
}

TEST_F(logfiletest, without_the_executables_directory_the_state_directory_keeps_this_run_and_the_one_before) {
  EXPECT_EQ(statelogdir("relative", "/home/u/"), "/home/u/.local/state/orvalink-desktop");
  EXPECT_EQ(statelogdir("/s/", "/home/u"), "/s/orvalink-desktop");
  const std::string exedir = (dir / "no such directory").string();
  const fs::path state = dir / "state" / "orvalink-desktop";
  for (const char *text : {"first\n", "second\n", "third\n"}) {
    const runlog log = run(exedir, state.string(), text);
    ASSERT_TRUE(log.fd) << log.note;
    EXPECT_EQ(log.path, (state / "cef_debug.log").string());
    EXPECT_NE(log.note.find(exedir), std::string::npos) << log.note;
  }
  EXPECT_EQ(read(state / "cef_debug.log"), "third\n");
  EXPECT_EQ(read(state / "cef_debug.log.1"), "second\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(state), fs::directory_iterator()), 2);
  EXPECT_EQ(mode(state), 0700u);
  EXPECT_EQ(mode(state / "cef_debug.log"), 0600u);
}
