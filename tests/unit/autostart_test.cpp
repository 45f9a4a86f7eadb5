#include "app/autostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cmdline.h"

namespace fs = std::filesystem;

namespace {

std::string readfile(const fs::path &path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class autostarttest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orva-autostart-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

}  // namespace

TEST(autostart, option_and_path) {
  EXPECT_EQ(parsecmdline({"prog", "--autostart=off"}).autostart, "off");
  EXPECT_EQ(parsecmdline({"prog", "--autostart"}).autostart, "");
  EXPECT_EQ(autostartwanted("on"), true);
  EXPECT_EQ(autostartwanted("off"), false);
  EXPECT_EQ(autostartwanted("ON"), std::nullopt);

  EXPECT_EQ(autostartpath("/x/conf/", "/home/u"), "/x/conf/autostart/orvalink-desktop.desktop");
  // A relative XDG_CONFIG_HOME is not used.
  EXPECT_EQ(autostartpath("conf", "/home/u"), "/home/u/.config/autostart/orvalink-desktop.desktop");
  EXPECT_EQ(autostartpath("", ""), "");
}

TEST(autostart, exec_line_quotes_what_it_must_and_refuses_what_it_cannot_carry) {
  EXPECT_NE(autostartentry("/usr/lib/orvalink-desktop/orvalink-desktop", {})
                .value_or("")
                .find("\nExec=/usr/lib/orvalink-desktop/orvalink-desktop\n"),
            std::string::npos);
  // Quoted for the space, '"' and '\' escaped inside the quotes, '\' escaped
  // once more for the file, '%' doubled.
  EXPECT_NE(autostartentry("/opt/my \"phone\"\\100%/orvalink-desktop", {"--service-origin=https://p.example"})
                .value_or("")
                .find("\nExec=\"/opt/my \\\\\"phone\\\\\"\\\\\\\\100%%/orvalink-desktop\" "
                      "--service-origin=https://p.example\n"),
            std::string::npos);
  EXPECT_EQ(autostartentry("/opt/a\nb", {}), std::nullopt);
  EXPECT_EQ(autostartentry("/opt/\xff", {}), std::nullopt);
}

TEST_F(autostarttest, on_writes_a_valid_entry_into_new_directories_and_off_removes_it) {
  const fs::path path = dir / "config/autostart/orvalink-desktop.desktop";
  const std::string entry = *autostartentry("/opt/my \"phone\"\\100%/orvalink-desktop", {});
  ASSERT_EQ(setautostart(true, path, entry), "");
  EXPECT_EQ(readfile(path), entry);
  EXPECT_EQ(fs::status(dir / "config").permissions(), fs::perms::owner_all);
  EXPECT_EQ(std::system(("desktop-file-validate '" + path.string() + "'").c_str()), 0);

  ASSERT_EQ(setautostart(false, path, ""), "");
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(setautostart(false, path, ""), "") << "nothing to remove is no failure";
}

TEST_F(autostarttest, a_link_in_its_place_is_replaced_not_followed_and_failures_are_said) {
  const fs::path path = dir / "orvalink-desktop.desktop";
  std::ofstream(dir / "elsewhere") << "keep";
  fs::create_symlink(dir / "elsewhere", path);
  ASSERT_EQ(setautostart(true, path, "entry"), "");
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_EQ(readfile(dir / "elsewhere"), "keep");

  const std::string problem = setautostart(true, (dir / "elsewhere/autostart/x.desktop").string(), "entry");
  EXPECT_NE(problem.find("cannot create"), std::string::npos) << problem;

  // A directory in the entry's place: the write fails and leaves no
  // half-made file behind.
  fs::remove(path);
  fs::create_directories(path / "inside");
  EXPECT_NE(setautostart(true, path, "entry"), "");
  EXPECT_NE(setautostart(false, path, ""), "");
  for (const auto &f : fs::directory_iterator(dir))
    EXPECT_FALSE(f.path().filename().string().starts_with(".orvalink")) << f.path();
}
