#include "browser/contextmenuhandler.h"

#include <QCloseEvent>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineView>

#include "browser/browserwindow.h"
#include "browser/contextmenu.h"

static_assert(menuedit_cancut == QWebEngineContextMenuRequest::CanCut);
static_assert(menuedit_cancopy == QWebEngineContextMenuRequest::CanCopy);
static_assert(menuedit_canpaste == QWebEngineContextMenuRequest::CanPaste);

namespace {

const char *scriptname(debugscript script) {
  switch (script) {
    case debugscript::webrtcenable:
      return "webrtc-enable";
    case debugscript::webrtcdisable:
      return "webrtc-disable";
    case debugscript::jssipenable:
      return "jssip-enable";
    case debugscript::jssipdisable:
      return "jssip-disable";
  }
  return "";
}

// The scripts are resources of the program (browser/debugscripts/*.js).
QString scriptsource(debugscript script) {
  QFile f(QStringLiteral(":/browser/debugscripts/%1.js").arg(QLatin1String(scriptname(script))));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The engine reports no page or frame URL with a right-click. A click always
// lands in the page's main frame or in a sub-frame of it, and a sub-frame can
// only exist in a page that has a URL, so "the page or the frame has a URL"
// comes down to the page having one. Only a window that has loaded nothing
// keeps the engine's own menu.
unsigned typeflagsof(const QWebEnginePage *page) {
  return page && !page->url().isEmpty() ? menutype_page : 0u;
}

// A debug window's close button asks its browser to close, as the menu's
// Exit does, so that the window goes through the client's close rules.
class closebybrowser : public QObject {
 public:
  explicit closebybrowser(browserwindow *browser) : QObject(browser), browser(browser) {}

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::Close || !browser->isvalid()) return QObject::eventFilter(watched, event);
    event->ignore();
    browser->closebrowser();
    return true;
  }

 private:
  browserwindow *browser;
};

}  // namespace

contextmenuhandler::contextmenuhandler(browserwindow *window, browserclient &client, dispatcher &commands)
    : QObject(window), window(window), client(client), commands(commands) {
  window->view()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(window->view(), &QWidget::customContextMenuRequested, this, &contextmenuhandler::onrequest);
}

void contextmenuhandler::onrequest(const QPoint &position) {
  QWebEngineView *view = window->view();
  const QWebEngineContextMenuRequest *request = view ? view->lastContextMenuRequest() : nullptr;
  if (!request) return;
  const menucontext context{typeflagsof(window->page()), static_cast<unsigned>(request->editFlags().toInt())};
  const auto model = buildcontextmenu(context, client);
  QMenu *menu = model ? new QMenu(view) : view->createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (const menuentry &entry : model.value_or(std::vector<menuentry>{})) {
    if (entry.type == menuentry::kind::separator) {
      menu->addSeparator();
      continue;
    }
    QAction *action = menu->addAction(QString::fromStdString(entry.label));
    action->setShortcut(QKeySequence::fromString(QString::fromStdString(entry.accelerator)));
    action->setEnabled(entry.enabled);
    action->setCheckable(entry.type == menuentry::kind::check);
    action->setChecked(entry.checked);
    const int id = entry.id;
    connect(action, &QAction::triggered, this, [this, id] { oncommand(id); });
  }
  menu->popup(view->mapToGlobal(position));
}

void contextmenuhandler::oncommand(int id) {
  const menuchoice choice = choosecommand(id, client);
  QWebEnginePage *page = window->page();
  using action = menuchoice::action;
  switch (choice.todo) {
    case action::cut:
      page->triggerAction(QWebEnginePage::Cut);
      break;
    case action::copy:
      page->triggerAction(QWebEnginePage::Copy);
      break;
    case action::paste:
      page->triggerAction(QWebEnginePage::Paste);
      break;
    case action::showdevtools:
      showdevtools();
      break;
    case action::webrtcinternals:
      opendebugwindow(QStringLiteral("WebRTC Internals"))->loadurl("chrome://webrtc-internals");
      break;
    case action::runscript:
      if (window->hasmainframe()) page->runJavaScript(scriptsource(choice.script));
      break;
    case action::closebrowser:
      window->closebrowser();
      break;
    case action::none:
      break;
  }
}

void contextmenuhandler::showdevtools() {
  // One DevTools window per inspected browser: asking again brings it forward.
  if (devtools && devtools->isvalid()) {
    devtools->view()->raise();
    devtools->view()->activateWindow();
    return;
  }
  devtools = opendebugwindow(QStringLiteral("DevTools"));
  window->page()->setDevToolsPage(devtools->page());
}

browserwindow *contextmenuhandler::opendebugwindow(const QString &title) {
  auto *debug = new browserwindow(window->page()->profile(), client, commands);
  // Every debug window belongs to the program's first browser window, so that
  // all of them are gone before the browser profile at shutdown.
  QObject *owner = window;
  while (qobject_cast<browserwindow *>(owner->parent())) owner = owner->parent();
  debug->setParent(owner);
  QWebEngineView *view = debug->view();
  view->setWindowTitle(title);
  view->resize(1000, 700);
  view->installEventFilter(new closebybrowser(debug));  // a child of the debug browser
  view->show();
  return debug;
}

void installcontextmenu(browserwindow *window, browserclient &client, dispatcher &commands) {
  new contextmenuhandler(window, client, commands);  // a child of the window
}
