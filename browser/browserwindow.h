#pragma once

#include <QObject>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <memory>

#include "browser/browserhandle.h"
#include "browser/pagegate.h"
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
  // Asked before a link of a scheme the browser does not show goes to the
  // desktop's handler for it; refused when unset.
  std::function<bool(const QUrl &, bool ismainframe)> mayopenexternally;

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
  // Messages for the page reach a connected service document from now on
  // (true), or are dropped until one connects (false).
  void pageconnected(bool connected);

 private:
  void onpost(const pagemessage &m, int document);
  int ondocument();
  bool fromcurrent(int document) const;
  bool isservice(const QUrl &url) const;
  void askdocument();
  template <class change>
  void changegate(change f);
  bool mayopenexternally(const QUrl &url, bool ismainframe);
  void onpermission(const QUrl &origin, QWebEnginePage::Feature feature);

  browserclient &client;
  dispatcher &commands;
  QPointer<QWebEngineView> webview;
  browserpage *webpage = nullptr;
  QWebChannel *channel = nullptr;
  pagechannel *bridge = nullptr;
  requestids ids;
  pagegate gate;
  // The link the user clicked last in the connected service document.
  QUrl clickedlink;
  bool closing = false;
  bool loadstarted = false;
};

// True when `url` belongs to the service's origin `serviceorigin` (scheme,
// host and port).
bool isserviceorigin(const QUrl &url, const std::string &serviceorigin);
