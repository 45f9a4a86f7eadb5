#include "update/updaterequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// The reply holds at most this much unread body; the rest waits in the socket
// until the chunk before it has been written to the file.
constexpr qint64 readbuffersize = 256 * 1024;
// A transfer that moves no data for this long is given up (a stalled download
// would otherwise hold the installer download forever).
constexpr int stalltimeoutms = 120 * 1000;
}  // namespace

std::string downloaddir(const std::string &datadir) { return datadir + "/qxDownloads"; }

updaterequest::updaterequest(QObject *parent) : QObject(parent), manager(new QNetworkAccessManager(this)) {}

updaterequest::~updaterequest() {
  // The reply dies with the manager; it must not call back into a half-destroyed object.
  if (reply) reply->disconnect(this);
}

bool updaterequest::openfile(const std::string &dir, const std::string &name) {
  if (file.isOpen()) file.close();
  replacement = {};
  filepath.clear();
  // One plain file name: nothing may be written outside the download directory.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return false;
  std::string problem;
  if (!openowndir(dir, problem)) return false;
  const std::string full = dir + "/" + name;
  file.setFileName(QString::fromStdString(full));
  // Unbuffered: every chunk goes to the file at once, so a full disk shows
  // up as a failed write of that chunk rather than later at close.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return false;
  filepath = full;
  return true;
}

bool updaterequest::openreplacement(const std::string &dir, const std::string &name, std::string &problem,
                                    mode_t mode) {
  if (file.isOpen()) file.close();
  filepath.clear();
  replacement = replacementfile::create(dir, name, mode, problem);
  if (!replacement) return false;
  // Unbuffered, as in openfile; the descriptor stays the replacement's.
  if (!file.open(replacement.fd(), QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
    problem = "cannot write " + replacement.path();
    replacement = {};
    return false;
  }
  filepath = replacement.path();
  return true;
}

replacementfile updaterequest::takefile() { return std::move(replacement); }

void updaterequest::start(const std::string &url, completion whendone) {
  if (reply) return;
  urltext = url;
  done = std::move(whendone);
  QNetworkRequest request(QUrl(QString::fromStdString(url)));
  request.setTransferTimeout(stalltimeoutms);
  reply = manager->get(request);
  reply->setReadBufferSize(readbuffersize);
  connect(reply, &QNetworkReply::readyRead, this, &updaterequest::onreadyread);
  connect(reply, &QNetworkReply::finished, this, &updaterequest::onfinished);
}

int updaterequest::status() const { return httpstatus; }
const std::string &updaterequest::url() const { return urltext; }
const std::string &updaterequest::path() const { return filepath; }
bool updaterequest::failed() const { return hasfailed; }
bool updaterequest::cancelled() const { return wascancelled; }
const std::string &updaterequest::whyfailed() const { return failure; }

void updaterequest::onreadyread() {
  if (wascancelled) return;
  httpstatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (httpstatus != 200) {
    // An error page is not the file asked for: stop at its first chunk.
    wascancelled = hasfailed = true;
    cancel();
    return;
  }
  writeavailable();
}

void updaterequest::writeavailable() {
  // Read even when nothing is stored, so the body never piles up in memory.
  const QByteArray chunk = reply->readAll();
  received += chunk.size();
  if (hasfailed || !file.isOpen() || chunk.isEmpty()) return;
  if (file.write(chunk) != chunk.size()) {
    hasfailed = true;
    failure = "cannot write " + filepath;
    cancel();
  }
}

void updaterequest::cancel() {
  // Aborting inside the reply's own signal would re-enter its finishing
  // code; abort from the next loop turn instead (a no-op if it has finished).
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (reply) reply->abort();
      },
      Qt::QueuedConnection);
}

void updaterequest::onfinished() {
  httpstatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (httpstatus == 200 && !hasfailed) writeavailable();
  // A transfer that broke off after a good status (connection cut, body
  // shorter than announced, stalled) leaves a truncated file. The length is
  // checked too: depending on when the connection's end is seen, the network
  // layer may report a cut-off body as complete.
  const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
  if (httpstatus == 200 && failure.empty()) {
    const std::string got = std::to_string(received) + " bytes";
    if (reply->error() != QNetworkReply::NoError)
      failure = reply->errorString().toStdString() + " after " + got;
    else if (length.isValid() && reply->rawHeader("Content-Encoding").isEmpty() && received != length.toLongLong())
      failure = "the body ended after " + got + " of " + length.toString().toStdString();
  }
  if (httpstatus != 200 || !failure.empty()) hasfailed = true;
  if (file.isOpen()) file.close();
  reply->disconnect(this);
  reply->deleteLater();
  reply = nullptr;
  completion whendone = std::move(done);
  if (whendone) whendone(*this);
  deleteLater();
}
