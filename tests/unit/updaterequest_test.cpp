#include "update/updaterequest.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include "tests/update/fakehttp.h"

namespace {

// A body whose every 4-byte group differs, so a lost, doubled or reordered
// chunk cannot go unnoticed.
QByteArray patternbody(qint64 size) {
  QByteArray b(size, '\0');
  for (qint64 i = 0; i < size; ++i) b[i] = char((i / 4 * 2654435761u >> (8 * (i % 4))) & 0xff);
  return b;
}

QByteArray readfile(const std::string &path) {
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

class updaterequesttest : public ::testing::Test {
 protected:
  int argc = 1;
  char arg0[16] = "updatetest";
  char *argv[2] = {arg0, nullptr};
  QCoreApplication app{argc, argv};
  QTemporaryDir tmp;
  std::string datadir = tmp.path().toStdString() + "/data dir";
  fakehttp server;

  // What a finished request reported to its completion.
  struct outcome {
    int calls = 0;
    int status = -1;
    bool failed = false, cancelled = false;
    std::string url, path, why;
  };

  // Downloads `path` from the fake server into `name` (none: no file opened).
  outcome fetch(const std::string &path, const std::string &name = "out.bin") {
    outcome o;
    auto *r = new updaterequest;
    if (!name.empty()) {
      EXPECT_TRUE(r->openfile(downloaddir(datadir), name));
    }
    r->start(server.origin() + path, [&o](const updaterequest &done) {
      ++o.calls;
      o.status = done.status();
      o.failed = done.failed();
      o.cancelled = done.cancelled();
      o.url = done.url();
      o.path = done.path();
      o.why = done.whyfailed();
    });
    EXPECT_TRUE(waitfor([&] { return o.calls > 0; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return o;
  }
};

TEST_F(updaterequesttest, large_body_reaches_the_file_intact_while_it_is_still_arriving) {
  const QByteArray body = patternbody(6 * 1024 * 1024 + 123);
  server.handler = [&](const std::string &) { return fakehttp::response{200, body, -1, 3 * 1024 * 1024}; };
  const std::string file = datadir + "/qxDownloads/plugin.bin";

  outcome o;
  QPointer<updaterequest> r = new updaterequest;
  ASSERT_TRUE(r->openfile(downloaddir(datadir), "plugin.bin"));
  EXPECT_EQ(r->path(), file);
  r->start(server.origin() + "/files/plugin.qxp", [&o](const updaterequest &done) {
    ++o.calls;
    o.status = done.status();
    o.failed = done.failed();
    o.url = done.url();
  });
  // The server holds back the second half: the first must already be on disk.
  ASSERT_TRUE(waitfor([&] { return QFile(QString::fromStdString(file)).size() == 3 * 1024 * 1024; }));
  EXPECT_EQ(o.calls, 0);
  server.resume();
  ASSERT_TRUE(waitfor([&] { return o.calls > 0; }));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  EXPECT_EQ(o.calls, 1);
  EXPECT_EQ(o.status, 200);
  EXPECT_FALSE(o.failed);
  EXPECT_EQ(o.url, server.origin() + "/files/plugin.qxp");
  EXPECT_TRUE(readfile(file) == body);
  EXPECT_TRUE(r.isNull()) << "the request deletes itself after its completion";
}

TEST_F(updaterequesttest, error_page_cancels_and_leaves_the_file_truncated) {
  const std::string file = datadir + "/qxDownloads/out.bin";
  auto *first = new updaterequest;
  ASSERT_TRUE(first->openfile(downloaddir(datadir), "out.bin"));
  delete first;
  {
    QFile old(QString::fromStdString(file));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older download");
  }
  // A long error page: the client must stop at its first chunk.
  server.handler = [](const std::string &) { return fakehttp::response{404, QByteArray(4 * 1024 * 1024, 'e')}; };
  const outcome o = fetch("/files/missing.exe");
  EXPECT_EQ(o.calls, 1);
  EXPECT_EQ(o.status, 404);
  EXPECT_TRUE(o.failed);
  EXPECT_TRUE(o.cancelled);
  EXPECT_EQ(o.path, file);
  EXPECT_EQ(readfile(file), QByteArray());
}

TEST_F(updaterequesttest, refusal_without_body_fails_without_cancelling) {
  server.handler = [](const std::string &) { return fakehttp::response{503, {}}; };
  const outcome o = fetch("/x");
  EXPECT_EQ(o.status, 503);
  EXPECT_TRUE(o.failed);
  EXPECT_FALSE(o.cancelled);
}

TEST_F(updaterequesttest, transfer_cut_after_good_status_counts_as_failed) {
  server.handler = [](const std::string &) { return fakehttp::response{200, patternbody(1024 * 1024), 300 * 1024}; };
  const outcome o = fetch("/files/qx_desktop_1.2.0.exe");
  EXPECT_EQ(o.calls, 1);
  EXPECT_EQ(o.status, 200);
  EXPECT_TRUE(o.failed);
  EXPECT_FALSE(o.cancelled);
  EXPECT_NE(o.why.find(" after "), std::string::npos) << o.why;
}

TEST_F(updaterequesttest, failed_write_counts_as_failed) {
  // A file that takes no data: every write fails as on a full disk.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(datadir + "/qxDownloads")));
  ASSERT_TRUE(QFile::link("/dev/full", QString::fromStdString(datadir + "/qxDownloads/full")));
  server.handler = [](const std::string &) { return fakehttp::response{200, patternbody(1024 * 1024)}; };
  const outcome o = fetch("/f", "full");
  EXPECT_EQ(o.status, 200);
  EXPECT_TRUE(o.failed);
  EXPECT_FALSE(o.cancelled);
}

TEST_F(updaterequesttest, no_server_reports_no_status_once) {
  QTcpServer closed;  // a port nobody listens on once this is closed
  closed.listen(QHostAddress::LocalHost, 0);
  const quint16 port = closed.serverPort();
  closed.close();
  outcome o;
  auto *r = new updaterequest;
  r->start("http://127.0.0.1:" + std::to_string(port) + "/f", [&o](const updaterequest &done) {
    ++o.calls;
    o.status = done.status();
    o.failed = done.failed();
    o.path = done.path();
  });
  ASSERT_TRUE(waitfor([&] { return o.calls > 0; }));
  waitfor([] { return false; }, 200);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(o.calls, 1);
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(o.failed);
  EXPECT_EQ(o.path, "");
}

TEST_F(updaterequesttest, body_without_open_file_is_read_and_dropped) {
  server.handler = [](const std::string &) { return fakehttp::response{200, patternbody(512 * 1024)}; };
  const outcome o = fetch("/p", "");
  EXPECT_EQ(o.status, 200);
  EXPECT_FALSE(o.failed);
  EXPECT_EQ(o.path, "");
}

TEST_F(updaterequesttest, openfile_refuses_what_cannot_be_created) {
  updaterequest r;
  // The data directory is a plain file, so no directory can be made below it.
  {
    QFile blocker(tmp.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  EXPECT_FALSE(r.openfile(downloaddir(tmp.path().toStdString() + "/blocker"), "qx_desktop.exe"));
  EXPECT_EQ(r.path(), "");

  // The directory is fine but the name is taken by a directory.
  const std::string ok = downloaddir(tmp.path().toStdString() + "/ok");
  ASSERT_TRUE(QDir().mkpath(tmp.path() + "/ok/qxDownloads/taken"));
  EXPECT_FALSE(r.openfile(ok, "taken"));
  for (const char *bad : {"", ".", "..", "../escape", "sub/file"}) EXPECT_FALSE(r.openfile(ok, bad)) << bad;
  EXPECT_TRUE(r.openfile(ok, "free"));
  EXPECT_EQ(r.path(), tmp.path().toStdString() + "/ok/qxDownloads/free");
}

}  // namespace
