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
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "browser/browserclient.h"
#include "browser/contextmenuhandler.h"
#include "browser/dispatcher.h"
#include "browser/linkrules.h"
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

// A script given its configuration as a parameter, so that frames of other
// origins cannot read it (the page's menu entries) from a global.
QString configured(const QString &library, const QString &resource, const QString &parameter,
                   const QJsonObject &config) {
  return library + QStringLiteral("\n(function (") + parameter + QStringLiteral(") {\n") + readresource(resource) +
         QStringLiteral("\n})(") + QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact)) +
         QStringLiteral(");\n");
}

// The page bridge, among the page's own scripts in every frame.
QWebEngineScript pagebridgescript(const std::string &serviceorigin, const QJsonArray &menuentries) {
  const QJsonObject config{{QStringLiteral("origin"), QString::fromStdString(serviceorigin)},
                           {QStringLiteral("menus"), menuentries}};
  QWebEngineScript script;
  script.setName(bridgescriptname);
  script.setSourceCode(
      configured({}, QStringLiteral(":/browser/pagebridge.js"), QStringLiteral("__orvaBridgeConfig"), config));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  return script;
}

// The relay: Qt's channel client, then the relay, in the top frame, in the
// script world that holds the web channel.
QWebEngineScript pagerelayscript(const std::string &serviceorigin) {
  const QJsonObject config{{QStringLiteral("origin"), QString::fromStdString(serviceorigin)}};
  QWebEngineScript script;
  script.setName(QStringLiteral("orvapagerelay"));
  script.setSourceCode(configured(readresource(QStringLiteral(":/qtwebchannel/qwebchannel.js")),
                                  QStringLiteral(":/browser/pagerelay.js"), QStringLiteral("__orvaRelayConfig"),
                                  config));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::ApplicationWorld);
  script.setRunsOnSubFrames(false);
  return script;
}
}  // namespace

browserpage::browserpage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent) {}

bool browserpage::acceptNavigationRequest(const QUrl &url, NavigationType, bool ismainframe) {
  if (takenavigation && takenavigation(url)) return false;
  if (browserclient::onbeforebrowse(url.toString(QUrl::FullyEncoded).toStdString())) return false;
  // The engine asks about a scheme it does not show only when it is about to
  // hand the link to another program, after a user's gesture.
  return isbrowserscheme(url.scheme().toStdString()) || (mayopenexternally && mayopenexternally(url, ismainframe));
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

  bridge = new pagechannel(
      {[this](const pagemessage &m, int document) { onpost(m, document); }, [this] { return ondocument(); },
       [this](const QString &href, int document) {
         if (fromcurrent(document)) clickedlink = QUrl(href);
       }},
      this);
  channel = new QWebChannel(this);
  channel->registerObject(QStringLiteral("orvabridge"), bridge);
  // The channel exists only in the relay's script world, which the page's
  // scripts cannot reach: a page of another origin cannot listen in.
  webpage->setWebChannel(channel, QWebEngineScript::ApplicationWorld);
  webpage->scripts().insert(pagebridgescript(client.serviceorigin, bridge->menuentries()));
  webpage->scripts().insert(pagerelayscript(client.serviceorigin));
  // The engine asks about a link to another program only after a user's
  // gesture; it then goes out only if mayopenexternally() agrees.
  webpage->settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
  webpage->mayopenexternally = [this](const QUrl &url, bool ismainframe) {
    return mayopenexternally(url, ismainframe);
  };

  // Messages for the page stop when a navigation starts, and go again when
  // the next service document connects. A navigation that ends as a
  // download, or that is refused, leaves the page in place: the program then
  // asks the document there which it is.
  connect(webpage, &QWebEnginePage::loadStarted, this, [this] {
    loadstarted = true;
    changegate([this] { gate.close(); });
  });
  connect(webpage, &QWebEnginePage::urlChanged, this,
          [this](const QUrl &url) { changegate([&] { gate.urlchanged(isservice(url)); }); });
  connect(webpage, &QWebEnginePage::loadFinished, this, [this] { askdocument(); });
  connect(webpage, &QWebEnginePage::renderProcessTerminated, this, [this] { changegate([this] { gate.close(); }); });
  // Anything the page opens in a new window or tab replaces the page instead,
  // one turn of the event loop later.
  connect(webpage, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
    const std::string url = request.requestedUrl().toString(QUrl::FullyEncoded).toStdString();
    if (!isvalid()) return;
    if (!isbrowserscheme(request.requestedUrl().scheme().toStdString())) {
      debugout("new window refused, a link to another program: " + url);
      return;
    }
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
  if (!gate.open()) {
    debugout("page bridge: no service page connected, message for the page dropped: " + m.name);
    return;
  }
  if (auto out = ids.outbound(m)) bridge->send(out->tojson());
}

void browserwindow::loadurl(const std::string &url) {
  assertuithread();
  if (webpage) webpage->load(QUrl(QString::fromStdString(url)));
}

void browserwindow::closebrowser() {
  assertuithread();
  if (webpage && !closing) webpage->triggerAction(QWebEnginePage::RequestClose);
}

bool browserwindow::isservice(const QUrl &url) const { return isserviceorigin(url, client.serviceorigin); }

bool browserwindow::fromcurrent(int document) const {
  return webpage && isservice(webpage->url()) && gate.iscurrent(document);
}

template <class change>
void browserwindow::changegate(change f) {
  const bool was = gate.open();
  f();
  if (gate.open() != was) emit pageconnected(gate.open());
}

int browserwindow::ondocument() {
  assertuithread();
  // The document's number is its generation of request ids: answers to an
  // earlier document's requests are dropped.
  const int document = static_cast<int>(ids.newdocument());
  clickedlink.clear();
  changegate([&] { gate.connected(document, webpage && isservice(webpage->url())); });
  return document;
}

void browserwindow::askdocument() {
  if (gate.open() || !webpage || !isservice(webpage->url())) return;
  const unsigned asked = gate.asking();
  QPointer<browserwindow> self(this);
  webpage->runJavaScript(QStringLiteral("typeof __orvaRelayDocument === 'number' ? __orvaRelayDocument : -1"),
                         QWebEngineScript::ApplicationWorld, [self, asked](const QVariant &answer) {
                           if (!self || self->closing || !answer.isValid() || !self->webpage) return;
                           const bool service = self->isservice(self->webpage->url());
                           self->changegate([&] { self->gate.answered(asked, answer.toInt(), service); });
                         });
}

// Qt does not say which frame a navigation comes from, and a frame of another
// origin may navigate the top page after a click of its own: only the link the
// user clicked in the service's top page may go to another program.
bool browserwindow::mayopenexternally(const QUrl &url, bool ismainframe) {
  const bool clicked =
      ismainframe && !clickedlink.isEmpty() && clickedlink == url && webpage && isservice(webpage->url());
  clickedlink.clear();
  if (!clicked)
    debugout("link to another program refused, not one the user clicked in the service's page: " +
             url.toString(QUrl::FullyEncoded).toStdString());
  return clicked;
}

void browserwindow::onpost(const pagemessage &m, int document) {
  assertuithread();
  // Only the service's own pages may use the native powers, and only the
  // document that connected last: a leaving document's requests would take
  // the next one's request ids.
  if (!webpage || !isservice(webpage->url())) {
    debugout("page bridge: message from another origin dropped: " + loggable(m.name));
    return;
  }
  if (!gate.iscurrent(document)) {
    debugout("page bridge: message from an earlier document dropped: " + m.name);
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
  const bool grant = media && isservice(origin);
  webpage->setFeaturePermission(origin, feature,
                                grant ? QWebEnginePage::PermissionGrantedByUser : QWebEnginePage::PermissionDeniedByUser);
}
