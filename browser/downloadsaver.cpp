#include "browser/downloadsaver.h"

#include <QPointer>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <functional>
#include <memory>
#include <string>

#include "browser/downloads.h"
#include "common/debuglog.h"
#include "common/ownfiles.h"

namespace {

downloadstate stateof(const QWebEngineDownloadRequest *download) {
  switch (download->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
      return downloadstate::complete;
    case QWebEngineDownloadRequest::DownloadCancelled:
      return downloadstate::canceled;
    default:
      return downloadstate::running;
  }
}

// One console line per change of the counts or the state; the engine may
// signal several changes with the same figures, which show once.
std::function<void()> progressreporter(QWebEngineDownloadRequest *download) {
  const QPointer<QWebEnginePage> page = download->page();
  auto last = std::make_shared<std::string>();
  return [download, page, last] {
    const std::string line = progressline(download->url().toString().toStdString(), download->receivedBytes(),
                                          download->totalBytes(), stateof(download));
    if (line == *last) return;
    *last = line;
    if (page) page->runJavaScript(QString::fromStdString(progressscript(line)));
  };
}

void save(QWebEngineDownloadRequest *download, const std::string &datadir) {
  const auto report = progressreporter(download);
  const std::string url = download->url().toString().toStdString();
  // Made with mode 0700; one that another user owns is not written into.
  const std::string dir = datadir.empty() ? std::string() : userdownloads(datadir);
  std::string problem = "there is no data directory";
  if (dir.empty() || !openowndir(dir, problem)) {
    debugout("download of " + url + " cancelled: " + problem);
    download->cancel();
    report();
    return;
  }
  download->setDownloadDirectory(QString::fromStdString(dir));
  download->setDownloadFileName(QString::fromStdString(downloadfilename(download->suggestedFileName().toStdString())));
  QObject::connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, download, report);
  QObject::connect(download, &QWebEngineDownloadRequest::totalBytesChanged, download, report);
  QObject::connect(download, &QWebEngineDownloadRequest::stateChanged, download, report);
  download->accept();
  report();
}

}  // namespace

void installdownloads(QWebEngineProfile *profile, std::string datadir) {
  QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile,
                   [datadir = std::move(datadir)](QWebEngineDownloadRequest *download) { save(download, datadir); });
}
