#include "browser/downloadsaver.h"

#include <QPointer>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/appglobals.h"
#include "browser/downloads.h"
#include "common/debuglog.h"

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

void save(QWebEngineDownloadRequest *download) {
  const appglobals *g = appglobals::current();
  const std::string url = download->url().toString().toStdString();
  if (!g || g->datadir.empty()) {
    debugout("download of " + url + " cancelled: there is no data directory");
    download->cancel();
    return;
  }
  const std::string dir = userdownloads(g->datadir);
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    debugout("download of " + url + " cancelled: cannot create " + dir + ": " + error.message());
    download->cancel();
    return;
  }
  download->setDownloadDirectory(QString::fromStdString(dir));
  download->setDownloadFileName(
      QString::fromStdString(downloadfilename(download->suggestedFileName().toStdString())));

  // One console line per change of the counts or the state; the engine may
  // signal several changes with the same figures, which show once.
  const QPointer<QWebEnginePage> page = download->page();
  auto last = std::make_shared<std::string>();
  const auto report = [download, page, last] {
    const std::string line = progressline(download->url().toString().toStdString(), download->receivedBytes(),
                                          download->totalBytes(), stateof(download));
    if (line == *last) return;
    *last = line;
    if (page) page->runJavaScript(QString::fromStdString(progressscript(line)));
  };
  QObject::connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, download, report);
  QObject::connect(download, &QWebEngineDownloadRequest::totalBytesChanged, download, report);
  QObject::connect(download, &QWebEngineDownloadRequest::stateChanged, download, report);
  download->accept();
  report();
}

}  // namespace

void installdownloads(QWebEngineProfile *profile) {
  QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile, &save);
}
