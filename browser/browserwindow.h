#pragma once

#include <QObject>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <memory>

#include "browser/browserhandle.h"
#include "browser/requestids.h"

class QWebEngineProfile;
class QWebChannel;
class browserclient;
class dispatcher;
class pagechannel;

// The page of a browser window: applies the client's navigation and popup
// rules and grants media access; its console messages go to the debug output.
class browserpage : public QWebEnginePage {
  Q_OBJECT
 public:
  browserpage(QWebEngineProfile *profile, QObject *parent);

  // Sees every navigation first; answering true takes it: the page does not
  // navigate (the program's own pages use this for their buttons).
  std::function<bool(const QUrl &)> takenavigation;

 protected:
  bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool ismainframe) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                const QString &source) override;
};

// One browser window of the program (the main browser, or a debug window):
// a view, its page, and the page bridge's native end.
class browserwindow : public QObject, public browserhandle {
  Q_OBJECT
 public:
  browserwindow(QWebEngineProfile *profile, browserclient &client, dispatcher &commands);
  ~browserwindow() override;

  QWebEngineView *view() const { return webview; }
  browserpage *page() const { return webpage; }

  bool isvalid() const override;
  bool hasmainframe() const override;
  void sendtomainframe(const pagemessage &m) override;
  void loadurl(const std::string &url) override;
  void closebrowser() override;

 signals:
  // The browser has closed; the object is deleted afterwards.
  void closed();

 private:
  void onpost(const pagemessage &m);
  void onpermission(const QUrl &origin, QWebEnginePage::Feature feature);

  browserclient &client;
  dispatcher &commands;
  QPointer<QWebEngineView> webview;
  browserpage *webpage = nullptr;
  QWebChannel *channel = nullptr;
  pagechannel *bridge = nullptr;
  requestids ids;
  bool closing = false;
  bool loadstarted = false;
};

// True when `url` belongs to the service's origin `serviceorigin` (scheme,
// host and port).
bool isserviceorigin(const QUrl &url, const std::string &serviceorigin);
