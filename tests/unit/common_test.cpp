#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/paths.h"
#include "common/utf.h"

TEST(paths, exedir_cuts_before_last_separator_of_either_kind) {
  EXPECT_EQ(exedirof("/opt/orva/bin/orvalink-desktop"), "/opt/orva/bin");
  EXPECT_EQ(exedirof("c:\\prog\\orva.exe"), "c:\\prog");
  EXPECT_EQ(exedirof("orvalink-desktop"), "orvalink-desktop");
}

TEST(paths, settingsdir_keeps_trailing_separator_or_is_empty) {
  EXPECT_EQ(settingsdirof("/opt/orva/bin/orvalink-desktop"), "/opt/orva/bin/");
  EXPECT_EQ(settingsdirof("orvalink-desktop"), "");
}

TEST(paths, datadirectory_follows_mode_and_falls_back_to_xdg) {
  EXPECT_EQ(datadirectoryfor(1, "/l", "/a", "/x"), "/l/orvalink Desktop for Windows");
  EXPECT_EQ(datadirectoryfor(0, "/l", "/a", "/x"), "/a/orvalink Desktop for Windows");
  EXPECT_EQ(datadirectoryfor(-3, "/l/", "", "/x"), "/l/orvalink Desktop for Windows");
  EXPECT_EQ(datadirectoryfor(0, "/l", "", "/x"), "/x/orvalink Desktop for Windows");
  EXPECT_EQ(datadirectoryfor(1, "", "/a", "/x/"), "/x/orvalink Desktop for Windows");
}

TEST(paths, runtimedir_is_a_usable_xdg_runtime_dir_or_tmp) {
  const char *saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string before = saved ? saved : "";
  std::string dir = std::filesystem::temp_directory_path().string() + "/orvaruntime.XXXXXX";
  ASSERT_TRUE(::mkdtemp(dir.data()));
  ::setenv("XDG_RUNTIME_DIR", (dir + "/").c_str(), 1);
  EXPECT_EQ(runtimedir(), dir);
  // Missing, relative or empty: every user of the directory falls back alike.
  for (const std::string &bad : {dir + "/none", std::string("run/user"), std::string()}) {
    ::setenv("XDG_RUNTIME_DIR", bad.c_str(), 1);
    EXPECT_EQ(runtimedir(), "/tmp") << bad;
  }
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(runtimedir(), "/tmp");
  if (saved) ::setenv("XDG_RUNTIME_DIR", before.c_str(), 1);
  std::filesystem::remove(dir);
}

TEST(paths, the_private_runtime_dir_is_this_users_0700_directory_or_none) {
  std::string base = std::filesystem::temp_directory_path().string() + "/orvaprivate.XXXXXX";
  ASSERT_TRUE(::mkdtemp(base.data()));
  const uid_t me = ::geteuid();
  const std::string xdg = base + "/xdg", own = base + "/orvalink-desktop-" + std::to_string(me);
  ASSERT_EQ(::mkdir(xdg.c_str(), 0700), 0);
  EXPECT_EQ(privateruntimedirin(xdg + "/", base, me).dir, xdg);
  // A runtime directory others may enter: a directory of its own, made 0700.
  ::chmod(xdg.c_str(), 0755);
  EXPECT_EQ(privateruntimedirin(xdg, base, me).dir, own);
  struct stat st {};
  ASSERT_EQ(::lstat(own.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_EQ(privateruntimedirin("", base, me).dir, own);
  // One that is not private when found is refused, neither used nor repaired.
  ::chmod(own.c_str(), 0755);
  privatedir refused = privateruntimedirin("", base, me);
  EXPECT_EQ(refused.dir, "");
  EXPECT_EQ(refused.problem, own + " is mode 0755, not 0700");
  ::rmdir(own.c_str());
  ASSERT_EQ(::symlink(xdg.c_str(), own.c_str()), 0);
  EXPECT_EQ(privateruntimedirin("", base, me).problem, own + " is a symbolic link");
  ::unlink(own.c_str());
  if (me == 0) {  // another user made it first
    ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(privateruntimedirin("", base, me).problem, own + " is owned by uid 65534, not 0");
  }
  std::filesystem::remove_all(base);
}

TEST(utf, conversions_round_trip_and_replace_invalid_sequences) {
  EXPECT_EQ(utf8towide(""), u"");
  EXPECT_EQ(widetoutf8(u""), "");
  EXPECT_EQ(widetoutf8(utf8towide("Grüße €")), "Grüße €");
  EXPECT_EQ(utf8towide("a\xff" "b"), u"a\uFFFDb");
  EXPECT_EQ(widetoutf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
