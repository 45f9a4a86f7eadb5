#include <gtest/gtest.h>
#include <stdlib.h>

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

TEST(utf, conversions_round_trip_and_replace_invalid_sequences) {
  EXPECT_EQ(utf8towide(""), u"");
  EXPECT_EQ(widetoutf8(u""), "");
  EXPECT_EQ(widetoutf8(utf8towide("Grüße €")), "Grüße €");
  EXPECT_EQ(utf8towide("a\xff" "b"), u"a\uFFFDb");
  EXPECT_EQ(widetoutf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
