#include "browser/browserwindow.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "browser/browserclient.h"
#include "browser/contextmenuhandler.h"
#include "browser/dispatcher.h"
#include "browser/pagechannel.h"
#include "browser/pageconsole.h"
#include "common/debuglog.h"
#include "common/uithread.h"

bool isserviceorigin(const QUrl &url, const std::string &serviceorigin) {
  const QUrl service(QString::fromStdString(serviceorigin));
  return url.scheme() == service.scheme() && url.host() == service.host() &&
         url.port(url.scheme() == QLatin1String("https") ? 443 : 80) ==
             service.port(service.scheme() == QLatin1String("https") ? 443 : 80);
}

namespace {
QString readresource(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

const QString bridgescriptname = QStringLiteral("orvapagebridge");

// The bridge script: Qt's channel client, then our script, given the
// configuration as a parameter so that frames of other origins cannot read
// the page's menu entries from a global.
QWebEngineScript pagebridgescript(const std::string &serviceorigin, const QJsonArray &menuentries) {
  QJsonObject config;
  config.insert(QStringLiteral("origin"), QString::fromStdString(serviceorigin));
  config.insert(QStringLiteral("menus"), menuentries);
  const QString source = readresource(QStringLiteral(":/qtwebchannel/qwebchannel.js")) +
                         QStringLiteral("\n(function (__orvaBridgeConfig) {\n") +
                         readresource(QStringLiteral(":/browser/pagebridge.js")) + QStringLiteral("\n})(") +
                         QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact)) +
                         QStringLiteral(");\n");
  QWebEngineScript script;
  script.setName(bridgescriptname);
  script.setSourceCode(source);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  return script;
}
}  // namespace

browserpage::browserpage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent) {}

bool browserpage::acceptNavigationRequest(const QUrl &url, NavigationType, bool) {
  if (takenavigation && takenavigation(url)) return false;
  return !browserclient::onbeforebrowse(url.toString(QUrl::FullyEncoded).toStdString());
}

void browserpage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int,
                                           const QString &) {
  const consolelevel l = level == WarningMessageLevel ? consolelevel::warning
                         : level == ErrorMessageLevel ? consolelevel::error
                                                      : consolelevel::info;
  debugout(consoledebugline(l, message.toStdString()));
}

browserwindow::browserwindow(QWebEngineProfile *profile, browserclient &client, dispatcher &commands)
    : client(client), commands(commands) {
  assertuithread();
  // The view has no parent here (the main window adopts the main browser's
  // view); this object deletes it, unless it has already gone.
  webview = new QWebEngineView;
  webpage = new browserpage(profile, webview);
  webview->setPage(webpage);

  bridge = new pagechannel([this](const pagemessage &m) { onpost(m); }, this);
  channel = new QWebChannel(this);
  channel->registerObject(QStringLiteral("orvabridge"), bridge);
  webpage->setWebChannel(channel);
  webpage->scripts().insert(pagebridgescript(client.serviceorigin, bridge->menuentries()));

  connect(webpage, &QWebEnginePage::loadStarted, this, [this] { loadstarted = true; });
  // Only a document that replaced the last one starts a new generation of
  // request ids: a navigation that ends as a download, or that is refused,
  // leaves the page and its requests in place.
  connect(bridge, &pagechannel::documentstarted, this, [this] { ids.newdocument(); });
  // Anything the page opens in a new window or tab replaces the page instead,
  // one turn of the event loop later.
  connect(webpage, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
    const std::string url = request.requestedUrl().toString(QUrl::FullyEncoded).toStdString();
    if (!isvalid()) return;
    QTimer::singleShot(0, this, [this, url] {
      if (isvalid()) loadurl(url);
    });
  });
  connect(webpage, &QWebEnginePage::featurePermissionRequested, this, &browserwindow::onpermission);
  connect(webpage, &QWebEnginePage::windowCloseRequested, this, [this] {
    if (closing) return;
    closing = true;
    this->client.doclose(this);
    if (webview) webview->deleteLater();
    QTimer::singleShot(0, this, [this] {
      this->client.onbeforeclose(this);
      emit closed();
      deleteLater();
    });
  });
  installcontextmenu(this, client, commands);
  client.onaftercreated(this);
}

browserwindow::~browserwindow() {
  if (client.mainbrowser == this) client.mainbrowser = nullptr;
  if (webview) delete webview.data();
}

bool browserwindow::isvalid() const { return !closing && webview; }

bool browserwindow::hasmainframe() const { return loadstarted && webview; }

void browserwindow::sendtomainframe(const pagemessage &m) {
  assertuithread();
  if (auto out = ids.outbound(m)) emit bridge->message(out->tojson());
}

void browserwindow::loadurl(const std::string &url) {
  assertuithread();
  if (webpage) webpage->load(QUrl(QString::fromStdString(url)));
}

void browserwindow::closebrowser() {
  assertuithread();
  if (webpage && !closing) webpage->triggerAction(QWebEnginePage::RequestClose);
}

void browserwindow::onpost(const pagemessage &m) {
  assertuithread();
  // Only the service's own pages may use the native powers.
  if (!webpage || !isserviceorigin(webpage->url(), client.serviceorigin)) {
    debugout("page bridge: message from another origin dropped: " + m.name);
    return;
  }
  // A new menu entry goes into the script of the page's later documents.
  if (m.name == msg::wininsertmenu && bridge->notemenuentry(m)) {
    for (const QWebEngineScript &old : webpage->scripts().find(bridgescriptname)) webpage->scripts().remove(old);
    webpage->scripts().insert(pagebridgescript(client.serviceorigin, bridge->menuentries()));
  }
  commands.onprocessmessage(ids.inbound(m));
}

void browserwindow::onpermission(const QUrl &origin, QWebEnginePage::Feature feature) {
  const bool media = feature == QWebEnginePage::MediaAudioCapture || feature == QWebEnginePage::MediaVideoCapture ||
                     feature == QWebEnginePage::MediaAudioVideoCapture;
  // Media is granted exactly as asked, without a prompt, to the service only.
  const bool grant = media && isserviceorigin(origin, client.serviceorigin);
  webpage->setFeaturePermission(origin, feature,
                                grant ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
}
