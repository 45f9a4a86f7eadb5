#include <gtest/gtest.h>
#include <fcntl.h>
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

  // An "installer" that writes each argument on a line of `record`.
  std::string writeinstaller(const QString &dir, const std::string &record, QFileDevice::Permissions mode) {
    QDir().mkpath(dir);
    const QString path = dir + "/qx_desktop.exe";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n").c_str());
    f.close();
    f.setPermissions(mode);
    return path.toStdString();
  }

  static pendingupdate opened(const std::string &installer) {
    return {installercommand(installer), ownedfd(::open(installer.c_str(), O_RDONLY | O_CLOEXEC))};
  }

  static int waitexit(pid_t pid) {
    int st = 0;
    if (waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
};

constexpr auto executable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

TEST_F(relaunchtest, starts_the_open_installer_with_split_arguments) {
  const std::string record = tmp.path().toStdString() + "/args.txt";
  const std::string installer =
      writeinstaller(tmp.path() + "/orvalink Desktop for Windows/qxDownloads", record, executable);
  const pid_t pid = startupdate(opened(installer));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(waitexit(pid), 0);
  QFile rec(QString::fromStdString(record));
  ASSERT_TRUE(rec.open(QIODevice::ReadOnly));
  EXPECT_EQ(rec.readAll().toStdString(),
            "/proc/self/fd/3\n/SP-\n/verysilent\n/noicons\n/dir=expand:{pf32}\\orvalink Desktop for Windows\n");
}

// Each of these leaves the program to start itself again.
TEST_F(relaunchtest, nothing_starts_from_unusable_commands_or_files) {
  const std::string installer = writeinstaller(tmp.path(), tmp.path().toStdString() + "/args.txt", executable);
  for (const std::string command : {"", "   ", "\"/tmp/open quote"})
    EXPECT_EQ(startupdate({command, ownedfd(::open(installer.c_str(), O_RDONLY | O_CLOEXEC))}), -1) << command;
  EXPECT_EQ(startupdate({installercommand(installer), ownedfd()}), -1);
  QFile::setPermissions(QString::fromStdString(installer), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  EXPECT_EQ(startupdate(opened(installer)), -1) << "not executable";
}

}  // namespace
