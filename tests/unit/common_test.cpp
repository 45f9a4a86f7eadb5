#include <gtest/gtest.h>

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

TEST(utf, conversions_round_trip_and_replace_invalid_sequences) {
  EXPECT_EQ(utf8towide(""), u"");
  EXPECT_EQ(widetoutf8(u""), "");
  EXPECT_EQ(widetoutf8(utf8towide("Grüße €")), "Grüße €");
  EXPECT_EQ(utf8towide("a\xff" "b"), u"a\uFFFDb");
  EXPECT_EQ(widetoutf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
