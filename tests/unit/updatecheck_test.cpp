#include "update/updatecheck.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "signtool.h"
#include "tests/update/fakehttp.h"
#include "tests/update/recordingballoons.h"
#include "update/commandline.h"
#include "update/relaunch.h"
#include "update/version.h"

namespace {

TEST(isnewerversion, compares_major_then_minor_then_patch) {
  for (const char *v : {"1.1.9", "1.2.0", "2.0.0", "1.2.", "2..", " 1.1.9", "1.1.9-beta", "+2.0.0"})
    EXPECT_TRUE(isnewerversion(v, "1.1.8")) << v;
  // 1.0.9 has the larger patch but the smaller minor: an older release.
  for (const char *v : {"1.0.9", "0.9.9", "1.1.8", "1.1.7", "1.1.8-beta", "1.1.8.0", "1.2", "1.1.8.1", "", "..",
                        "x.y.z", "1,2.0.0", "-2.0.0"})
    EXPECT_FALSE(isnewerversion(v, "1.1.8")) << v;
}

TEST(isnewerversion, reads_each_part_as_a_decimal_prefix) {
  EXPECT_TRUE(isnewerversion("1.1.8-beta", "1.1.7"));  // "8-beta" reads as 8
  EXPECT_FALSE(isnewerversion("1.1.x", "1.1.0"));      // "x" reads as 0
  EXPECT_TRUE(isnewerversion("1.1.8e1", "1.1.79"));    // exponent: 80
  EXPECT_TRUE(isnewerversion("1.10.0", "1.9.9"));      // numbers, not text
  EXPECT_FALSE(isnewerversion("1.2.0", "1.2"));        // the current version needs three parts too
}

class runupdatetest : public ::testing::Test {
 protected:
  int argc = 1;
  char arg0[16] = "updatetest";
  char *argv[2] = {arg0, nullptr};
  QCoreApplication app{argc, argv};
  QTemporaryDir tmp;
  recordingballoons told;
  fakehttp server;
  // The data directory's real name holds spaces.
  std::string datadir = tmp.path().toStdString() + "/orvalink Desktop for Windows";
  pendingupdate scheduled;
  std::unique_ptr<updater> updates;
  std::string marker = tmp.path().toStdString() + "/ran";
  // An installer that says which one it is in `marker`.
  QByteArray installer = script("checked");

  QByteArray script(const std::string &name) const {
    return QByteArray::fromStdString("#!/bin/sh\necho " + name + " > '" + marker + "'\n");
  }

  void makeupdater(const std::string &signingkey = {}) {
    updates =
        std::make_unique<updater>(updaterconfig{server.origin(), downloaddir(datadir), told.sink(),
                                                [this](pendingupdate u) { scheduled = std::move(u); }, signingkey});
  }

  void SetUp() override {
    makeupdater();
    server.handler = [this](const std::string &path) {
      return path == "/files/qx_desktop_1.2.0.exe" ? fakehttp::response{200, installer}
                                                   : fakehttp::response{404, "<html>not here</html>"};
    };
  }

  std::string installerpath() const { return datadir + "/qxDownloads/qx_desktop.exe"; }

  // Runs the event loop until the program quits by itself (true) or `ms` pass.
  bool runsuntilquit(int ms = 10000) {
    bool timedout = false;
    QTimer::singleShot(ms, &app, [&] {
      timedout = true;
      QCoreApplication::quit();
    });
    QCoreApplication::exec();
    return !timedout;
  }

  static QString notfound(const QString &v) {
    return "Version " + v + " not found, or no permissions to save file - please retry.";
  }
};

TEST_F(runupdatetest, good_download_schedules_installer_and_ends_the_loop) {
  updates->run("1.2.0");
  ASSERT_TRUE(runsuntilquit());
  EXPECT_EQ(told.texts(), QStringList({"Found version 1.2.0, downloading.", "Update downloaded. Restarting."}));
  for (const auto &b : told.balloons) {
    EXPECT_EQ(b.title, "Update");
    EXPECT_EQ(b.icon, balloonicon::user);
    EXPECT_EQ(b.timeoutseconds, 10);
  }
  EXPECT_EQ(server.paths, std::vector<std::string>{"/files/qx_desktop_1.2.0.exe"});
  EXPECT_EQ(scheduled.command, std::string("\"") + installerpath() +
                                   "\" /SP- /verysilent /noicons "
                                   "\"/dir=expand:{pf32}\\orvalink Desktop for Windows\" ");
  QFile f(QString::fromStdString(installerpath()));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), installer);

  // Another file put under the installer's name after the checks is not
  // the one started: the file checked is.
  QFile swapped(QString::fromStdString(installerpath() + ".swap"));
  ASSERT_TRUE(swapped.open(QIODevice::WriteOnly));
  swapped.write(script("swapped"));
  swapped.close();
  swapped.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  ASSERT_TRUE(::rename((installerpath() + ".swap").c_str(), installerpath().c_str()) == 0);
  const pid_t pid = startupdate(scheduled);
  ASSERT_GT(pid, 0);
  int st = -1;
  ASSERT_EQ(waitpid(pid, &st, 0), pid);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  QFile ran(QString::fromStdString(marker));
  ASSERT_TRUE(ran.open(QIODevice::ReadOnly));
  EXPECT_EQ(ran.readAll(), "checked\n");
}

// With a signing key, an installer is used only when the signature served
// beside it verifies over the bytes downloaded.
TEST_F(runupdatetest, with_a_key_only_a_signed_installer_is_scheduled) {
  const std::string dir = tmp.path().toStdString();
  const std::string key = sign("--new-key " + dir + "/key");
  QFile signedfile(QString::fromStdString(dir + "/installer"));
  ASSERT_TRUE(signedfile.open(QIODevice::WriteOnly));
  signedfile.write(installer);
  signedfile.close();
  sign(dir + "/key " + dir + "/installer");
  QFile sigfile(QString::fromStdString(dir + "/installer.sig"));
  ASSERT_TRUE(sigfile.open(QIODevice::ReadOnly));
  const QByteArray signature = sigfile.readAll();
  // 1.2.0 is signed; 1.3.0 has no signature; 1.4.0 is not the file signed.
  server.handler = [&](const std::string &path) {
    if (path == "/files/qx_desktop_1.2.0.exe") return fakehttp::response{200, installer};
    if (path == "/files/qx_desktop_1.4.0.exe") return fakehttp::response{200, script("tampered")};
    if (path == "/files/qx_desktop_1.2.0.exe.sig" || path == "/files/qx_desktop_1.4.0.exe.sig")
      return fakehttp::response{200, signature};
    return fakehttp::response{404, "<html>not here</html>"};
  };
  makeupdater(key);

  updates->run("1.3.0");
  ASSERT_TRUE(waitfor([&] { return told.balloons.size() == 2; }));
  EXPECT_EQ(told.texts().value(1), notfound("1.3.0"));
  EXPECT_EQ(server.paths, std::vector<std::string>{"/files/qx_desktop_1.3.0.exe.sig"});

  updates->run("1.4.0");
  ASSERT_TRUE(waitfor([&] { return told.balloons.size() == 4; }));
  EXPECT_TRUE(told.texts().value(3).startsWith("An error occured whilst trying to download update. It is important"));
  EXPECT_FALSE(scheduled);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(installerpath())));

  updates->run("1.2.0");
  ASSERT_TRUE(runsuntilquit());
  EXPECT_EQ(told.texts().value(5), "Update downloaded. Restarting.");
  EXPECT_TRUE(scheduled);
}

TEST_F(runupdatetest, versions_not_newer_are_refused_without_a_request) {
  const std::vector<std::string> refused = {"1.1.8", "1.1.7", "1.2", "1.1.8.1", "", "1.0.9"};
  for (const std::string &v : refused) updates->run(v);
  waitfor([] { return false; }, 100);
  QStringList expected;
  for (const std::string &v : refused) expected << notfound(QString::fromStdString(v));
  EXPECT_EQ(told.texts(), expected);
  EXPECT_TRUE(server.paths.empty());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(installerpath())));
  EXPECT_FALSE(scheduled);
}

TEST_F(runupdatetest, error_page_tells_try_again_and_a_later_request_may_start) {
  updates->run("1.3.0");
  ASSERT_TRUE(waitfor([&] { return told.balloons.size() == 2; }));
  EXPECT_EQ(told.texts(),
            QStringList({"Found version 1.3.0, downloading.",
                         "An error occured whilst trying to download the update. Please try again later."}));
  EXPECT_FALSE(scheduled);

  // The failed download no longer counts as running.
  updates->run("1.2.0");
  ASSERT_TRUE(runsuntilquit());
  EXPECT_EQ(told.texts().mid(2), QStringList({"Found version 1.2.0, downloading.", "Update downloaded. Restarting."}));
}

TEST_F(runupdatetest, cut_transfer_is_not_scheduled) {
  installer = QByteArray(2 * 1024 * 1024, 'i');
  server.handler = [this](const std::string &) { return fakehttp::response{200, installer, 1024 * 1024}; };
  updates->run("1.2.0");
  ASSERT_TRUE(waitfor([&] { return told.balloons.size() == 2; }));
  EXPECT_EQ(told.texts().value(1),
            "An error occured whilst trying to download update. It is important, for security reasons, that this "
            "is downloaded and installed. Please see " +
                QString::fromStdString(server.origin()) + "/docs/desktop_install/ for more information.");
  EXPECT_FALSE(scheduled);
}

TEST_F(runupdatetest, uncreatable_download_directory_starts_no_request) {
  QFile blocker(QString::fromStdString(datadir));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the directory should be
  blocker.close();
  updates->run("1.2.0");
  waitfor([] { return false; }, 100);
  EXPECT_EQ(told.texts(), QStringList({"Found version 1.2.0, downloading.", notfound("1.2.0")}));
  EXPECT_TRUE(server.paths.empty());
}

TEST_F(runupdatetest, second_request_during_a_download_is_refused) {
  installer = "#!/bin/sh\n" + QByteArray(1024 * 1024, '#');
  server.handler = [this](const std::string &) { return fakehttp::response{200, installer, -1, 256 * 1024}; };
  updates->run("1.2.0");
  ASSERT_TRUE(waitfor([&] { return server.paths.size() == 1; }));
  updates->run("1.3.0");
  EXPECT_EQ(told.texts(), QStringList({"Found version 1.2.0, downloading.",
                                       "An update is already in progress. Please wait for it to finish."}));
  server.resume();
  ASSERT_TRUE(runsuntilquit());
  EXPECT_EQ(told.texts().value(2), "Update downloaded. Restarting.");
  EXPECT_EQ(server.paths.size(), 1u);
  QFile f(QString::fromStdString(installerpath()));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.readAll() == installer);

  // Once scheduled, a further request cannot overwrite the installer either.
  updates->run("1.4.0");
  EXPECT_EQ(told.texts().value(3), "An update is already in progress. Please wait for it to finish.");
}

}  // namespace
