#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "update/commandline.h"
#include "update/relaunch.h"
#include "update/updatecheck.h"

namespace {

using words = std::vector<std::string>;

TEST(splitcommandline, follows_shell_quoting_rules) {
  EXPECT_EQ(splitcommandline(""), words{});
  EXPECT_EQ(splitcommandline(" \t\n "), words{});
  EXPECT_EQ(splitcommandline("  a  b\tc\nd "), (words{"a", "b", "c", "d"}));
  // Backslash outside quotes keeps the next character; backslash-newline joins.
  EXPECT_EQ(splitcommandline(R"(a\ b c\\d \"e\')"), (words{"a b", R"(c\d)", R"("e')"}));
  EXPECT_EQ(splitcommandline("ab\\\ncd"), (words{"abcd"}));
  EXPECT_EQ(splitcommandline("end\\"), (words{"end\\"}));
  // Single quotes keep everything, backslashes included.
  EXPECT_EQ(splitcommandline(R"('a \" $b\' c)"), (words{R"(a \" $b\)", "c"}));
  // Double quotes: backslash escapes only $ ` " \ newline, stays before others.
  EXPECT_EQ(splitcommandline(R"("\$\`\"\\ \o\n\'")"), (words{R"($`"\ \o\n\')"}));
  EXPECT_EQ(splitcommandline("\"a\\\nb\""), (words{"ab"}));
  // Quoted pieces join the word around them; empty quotes make an empty word.
  EXPECT_EQ(splitcommandline(R"(a"b c"'d' "" '')"), (words{"ab cd", "", ""}));
  // No expansion of any kind.
  EXPECT_EQ(splitcommandline("$HOME ~ *.exe `x`"), (words{"$HOME", "~", "*.exe", "`x`"}));
  EXPECT_EQ(splitcommandline("a \"open"), std::nullopt);
  EXPECT_EQ(splitcommandline("a 'open"), std::nullopt);
  EXPECT_EQ(splitcommandline(R"("ends in \")"), std::nullopt);
}

TEST(splitcommandline, installer_command_gives_installer_its_arguments) {
  const words expected = {"/data/orvalink Desktop for Windows/qxDownloads/qx_desktop.exe", "/SP-",
                          "/verysilent", "/noicons", R"(/dir=expand:{pf32}\orvalink Desktop for Windows)"};
  EXPECT_EQ(splitcommandline(installercommand(expected[0])), expected);
  // A path a shell leaves alone is not quoted: the command is path + switches.
  EXPECT_EQ(installercommand("/tmp/qxDownloads/qx_desktop.exe"),
            "/tmp/qxDownloads/qx_desktop.exe /SP- /verysilent /noicons "
            "\"/dir=expand:{pf32}\\orvalink Desktop for Windows\" ");
}

TEST(shellquote, every_word_comes_back_unchanged) {
  for (const std::string w : {"plain/path-1.0_x", "", "a b", "it's", "$HOME", "back\\slash", "q\"uote",
                              "`cmd`", "new\nline", "tab\there", "*?[]", "end\\", "\\\"$`'"}) {
    const std::string line = shellquote(w) + " next";
    EXPECT_EQ(splitcommandline(line), (words{w, "next"})) << line;
  }
  EXPECT_EQ(shellquote("/usr/bin/x"), "/usr/bin/x");
}

class relaunchtest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;

  // An "installer" that writes each argument on a line of `record`; saved
  // without the execute bit, as a download is.
  std::string writeinstaller(const QString &dir, const std::string &record) {
    QDir().mkpath(dir);
    const QString path = dir + "/qx_desktop.exe";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        ("#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n").c_str());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path.toStdString();
  }

  static int waitexit(pid_t pid) {
    int st = 0;
    if (waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
};

TEST_F(relaunchtest, starts_installer_with_split_arguments_and_execute_bit) {
  const std::string record = tmp.path().toStdString() + "/args.txt";
  const std::string installer =
      writeinstaller(tmp.path() + "/orvalink Desktop for Windows/qxDownloads", record);
  const pid_t pid = startupdatecommand(installercommand(installer));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(waitexit(pid), 0);
  QFile rec(QString::fromStdString(record));
  ASSERT_TRUE(rec.open(QIODevice::ReadOnly));
  EXPECT_EQ(rec.readAll().toStdString(), installer +
                                             "\n/SP-\n/verysilent\n/noicons\n"
                                             "/dir=expand:{pf32}\\orvalink Desktop for Windows\n");
  struct stat st {};
  ASSERT_EQ(stat(installer.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "only the owner's execute bit is added";
}

TEST_F(relaunchtest, nothing_starts_from_unusable_commands) {
  EXPECT_EQ(startupdatecommand(""), -1);
  EXPECT_EQ(startupdatecommand("   "), -1);
  EXPECT_EQ(startupdatecommand("\"/tmp/open quote"), -1);
  EXPECT_EQ(startupdatecommand(tmp.path().toStdString() + "/missing.exe /SP-"), -1);
}

}  // namespace
