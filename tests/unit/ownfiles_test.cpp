#include "common/ownfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "common/fdio.h"

namespace {

std::string contents(const std::string &path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

mode_t modeof(const std::string &path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mode;
}

}  // namespace

TEST(owndir, new_directories_are_private_and_another_users_is_refused) {
  QTemporaryDir tmp;
  const std::string base = tmp.path().toStdString();
  const mode_t old = ::umask(022);
  std::string problem;
  EXPECT_TRUE(openowndir(base + "/data/qxDownloads", problem)) << problem;
  ::umask(old);
  EXPECT_EQ(modeof(base + "/data") & 0777, 0700u);
  EXPECT_EQ(modeof(base + "/data/qxDownloads") & 0777, 0700u);

  // Another user's directory (as root, made so; otherwise one of the system).
  std::string foreign = "/usr";
  if (::geteuid() == 0) {
    foreign = base + "/foreign";
    ASSERT_EQ(::mkdir(foreign.c_str(), 0777), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
  }
  EXPECT_FALSE(replacementfile::create(foreign, "plugin", 0600, problem));
  EXPECT_NE(problem.find("not to this user"), std::string::npos) << problem;
}

TEST(replacementfile, replaces_by_rename_without_following_or_truncating) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  // A symbolic link planted at the name, and an old file still open.
  std::ofstream(dir + "/victim") << "not to be touched";
  ASSERT_EQ(::symlink((dir + "/victim").c_str(), (dir + "/plugin").c_str()), 0);
  std::ofstream(dir + "/old") << "old plugin";
  std::ifstream inuse(dir + "/old");

  std::string problem;
  {
    replacementfile unfinished = replacementfile::create(dir, "old", 0600, problem);
    EXPECT_TRUE(writeall(unfinished.fd(), "never used"));
  }  // not committed: removed
  replacementfile file = replacementfile::create(dir, "plugin", 0600, problem);
  ASSERT_TRUE(file) << problem;
  EXPECT_EQ(modeof(file.path()) & 07777, 0600u);
  EXPECT_TRUE(writeall(file.fd(), "new plugin"));
  ASSERT_TRUE(file.commit(problem)) << problem;
  EXPECT_TRUE(S_ISREG(modeof(dir + "/plugin")));
  EXPECT_EQ(contents(dir + "/plugin"), "new plugin");
  EXPECT_EQ(contents(dir + "/victim"), "not to be touched");

  replacementfile newer = replacementfile::create(dir, "old", 0600, problem);
  EXPECT_TRUE(writeall(newer.fd(), "newer"));
  ASSERT_TRUE(newer.commit(problem));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(inuse), {}), "old plugin");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3) << "no file left behind";
}
