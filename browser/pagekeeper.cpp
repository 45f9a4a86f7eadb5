#include "browser/pagekeeper.h"

#include <QNetworkInformation>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <QWebEngineSettings>
#include <utility>

#include "browser/browserwindow.h"
#include "common/debuglog.h"
#include "common/uithread.h"

namespace {
// The connecting page is one of the program's resources: another origin than
// the service's, so it gets no page functions, and it loads nothing else.
const QUrl connectingpage(QStringLiteral("qrc:/browser/connecting.html"));
// Its "Try now" navigates here; the navigation is taken, never loaded.
const QUrl tryurl(QStringLiteral("qrc:/browser/try"));

double jitter() { return QRandomGenerator::global()->generateDouble(); }

loaderrordomain domainof(QWebEngineLoadingInfo::ErrorDomain d) {
  switch (d) {
    case QWebEngineLoadingInfo::NoErrorDomain:
      return loaderrordomain::none;
    case QWebEngineLoadingInfo::InternalErrorDomain:
      return loaderrordomain::internal;
    case QWebEngineLoadingInfo::ConnectionErrorDomain:
      return loaderrordomain::connection;
    case QWebEngineLoadingInfo::CertificateErrorDomain:
      return loaderrordomain::certificate;
    case QWebEngineLoadingInfo::HttpErrorDomain:
      return loaderrordomain::http;
    case QWebEngineLoadingInfo::FtpErrorDomain:
      return loaderrordomain::ftp;
    case QWebEngineLoadingInfo::DnsErrorDomain:
      return loaderrordomain::dns;
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
      return loaderrordomain::httpstatus;
  }
  return loaderrordomain::none;
}

networkreach reachof(QNetworkInformation::Reachability r) {
  switch (r) {
    case QNetworkInformation::Reachability::Unknown:
      return networkreach::unknown;
    case QNetworkInformation::Reachability::Online:
      return networkreach::online;
    default:
      return networkreach::offline;
  }
}

std::string statusname(QWebEnginePage::RenderProcessTerminationStatus status) {
  switch (status) {
    case QWebEnginePage::NormalTerminationStatus:
      return "normal";
    case QWebEnginePage::AbnormalTerminationStatus:
      return "abnormal";
    case QWebEnginePage::CrashedTerminationStatus:
      return "crashed";
    case QWebEnginePage::KilledTerminationStatus:
      return "killed";
  }
  return "unknown";
}
}  // namespace

pagekeeper::pagekeeper(browserwindow &window, const std::string &starturl, statelistener onstate)
    : QObject(&window), window(window), starturl(QString::fromStdString(starturl)), onstate(std::move(onstate)) {
  assertuithread();
  retrytimer.setSingleShot(true);
  connect(&retrytimer, &QTimer::timeout, this, [this] { loadstartpage("trying again"); });
  browserpage *page = window.page();
  connect(page, &QWebEnginePage::loadingChanged, this, &pagekeeper::onloading);
  connect(page, &QWebEnginePage::renderProcessTerminated, this, &pagekeeper::onrendererended);
  // Only the connecting page links there; taken outside the engine's call.
  page->takenavigation = [this](const QUrl &url) {
    if (url != tryurl) return false;
    QTimer::singleShot(0, this, [this] { loadstartpage("Try now"); });
    return true;
  };
}

void pagekeeper::watchnetwork() {
  // Where the system reports its network (a backend exists), its return ends
  // a wait at once; otherwise the back-off alone decides. Watched from the
  // first wait on: until then the system's network plays no part, and
  // loading its backend at start would delay the first page.
  if (watchingnetwork) return;
  watchingnetwork = true;
  if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) return;
  QNetworkInformation *network = QNetworkInformation::instance();
  lastreach = reachof(network->reachability());
  connect(network, &QNetworkInformation::reachabilityChanged, this, [this](QNetworkInformation::Reachability r) {
    const networkreach after = reachof(r);
    if (!networkreturned(std::exchange(lastreach, after), after) || now != mode::waiting) return;
    failures = 0;
    loadstartpage("the network is reachable again");
  });
}

void pagekeeper::loadstartpage(const std::string &why) {
  assertuithread();
  if (!window.isvalid()) return;
  retrytimer.stop();
  debugout("page: loading the start page (" + why + ")");
  now = mode::loading;
  // A failed try leaves the connecting page in place instead of flashing the
  // engine's error page.
  seterrorpages(false);
  window.page()->load(starturl);
}

void pagekeeper::onloading(const QWebEngineLoadingInfo &info) {
  // While the program loads the start page, loads of other schemes than the
  // program's own are that load, or what the page navigated to while it
  // loaded. (A load that follows a taken navigation is not reported as
  // started: the engine reports only the start of what it was asked first.)
  if (now != mode::loading || info.url().scheme() == QLatin1String("qrc")) return;
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
      return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      debugout("page: start page loaded");
      now = mode::idle;
      failures = 0;
      seterrorpages(true);
      setup(true);
      return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      // Replaced by another navigation ("Try now", or the page's own), whose
      // outcome counts instead.
      return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
      break;
  }
  const loadfailure failure =
      classifyloadfailure(domainof(info.errorDomain()), info.errorCode(), info.errorString().toStdString());
  if (failure.what == loadfailure::action::replaced) return;
  if (failure.what == loadfailure::action::retry) {
    retrylater(failure.reason);
    return;
  }
  // The user sees what the service or the engine says, as after any load.
  // Error pages were off for this load: the engine's is loaded once more, as
  // a plain load the program does not follow.
  debugout("page: start page failed: " + failure.reason);
  now = mode::idle;
  seterrorpages(true);
  setup(true);
  if (failure.what == loadfailure::action::showerror) window.page()->load(starturl);
}

void pagekeeper::onrendererended(QWebEnginePage::RenderProcessTerminationStatus status, int exitcode) {
  debugout("page: renderer ended: " + statusname(status) + ", exit code " + std::to_string(exitcode));
  if (status == QWebEnginePage::NormalTerminationStatus || !window.isvalid()) return;
  setup(false);
  const std::optional<std::chrono::milliseconds> wait = restarts.onended(rendererrestarts::clock::now(), jitter());
  const std::string reason = status == QWebEnginePage::CrashedTerminationStatus ? "the page's renderer crashed"
                             : status == QWebEnginePage::KilledTerminationStatus
                                 ? "the page's renderer was killed"
                                 : "the page's renderer ended abnormally";
  if (!wait) {
    debugout("page: renderer ended too often; not reloading by itself");
    retrytimer.stop();
    now = mode::givenup;
    showconnecting(reason + " (" + std::to_string(rendererrestarts::limit + 1) + " times within " +
                       std::to_string(rendererrestarts::window.count()) + " minutes)",
                   std::nullopt);
    return;
  }
  if (wait->count() == 0) {
    loadstartpage("its renderer ended");
    return;
  }
  debugout("page: reloading in " + std::to_string(wait->count()) + " ms");
  now = mode::waiting;
  watchnetwork();
  showconnecting(reason, *wait);
  retrytimer.start(*wait);
}

void pagekeeper::retrylater(const std::string &reason) {
  const std::chrono::milliseconds wait = retrydelay(failures++, jitter());
  debugout("page: start page failed: " + reason + "; next try in " + std::to_string(wait.count()) + " ms");
  now = mode::waiting;
  watchnetwork();
  setup(false);
  showconnecting(reason, wait);
  retrytimer.start(wait);
}

void pagekeeper::showconnecting(const std::string &reason, std::optional<std::chrono::milliseconds> nexttry) {
  QUrlQuery query;
  query.addQueryItem(QStringLiteral("reason"), QString::fromStdString(reason));
  if (nexttry) query.addQueryItem(QStringLiteral("next"), QString::number(nexttry->count()));
  QUrl url = connectingpage;
  url.setQuery(query);
  window.page()->load(url);
}

void pagekeeper::seterrorpages(bool on) {
  window.page()->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, on);
}

void pagekeeper::setup(bool isup) {
  if (up == isup) return;
  up = isup;
  if (onstate) onstate(up);
}
