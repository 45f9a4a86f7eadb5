#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include "app/appglobals.h"
#include "app/qtclipboard.h"
#include "app/windowevents.h"
#include "browser/browserapp.h"
#include "browser/browserclient.h"
#include "browser/browserhandle.h"
#include "browser/dispatcher.h"
#include "common/uithread.h"
#include "platform/ownwindow.h"

mainwindow::mainwindow(desktopservices &desktop, ownwindow &windowstate, pagesink topage)
    : QWidget(nullptr, Qt::Tool), desktop(desktop), windowstate(windowstate), topage(std::move(topage)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  winId();
}

void mainwindow::setbrowserview(QWidget *view) {
  assertuithread();
  browserview = view;
  view->setParent(this);
  view->setGeometry(rect());
  view->show();
}

bool mainwindow::browserready() const {
  const appglobals *g = appglobals::current();
  return g && g->browsercreated && !g->browserclosing;
}

std::uint64_t mainwindow::nativeid() const {
  assertuithread();
  return static_cast<std::uint64_t>(winId());
}

bool mainwindow::isvisible() const {
  assertuithread();
  return isVisible();
}

void mainwindow::showrestore() {
  assertuithread();
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void mainwindow::hide() {
  assertuithread();
  QWidget::hide();
}

void mainwindow::settopmost(bool on) {
  assertuithread();
  // The state is set on the native window once it is mapped: changing the
  // widget's flags, or those of a window not yet mapped, re-creates the
  // native window (a new X11 id, the browser view re-parented).
  pendingtopmost = on;
  show();
  applytopmost();
}

void mainwindow::applytopmost() {
  if (!pendingtopmost) return;
  if (!windowHandle()->isExposed()) {
    // Not mapped yet: look again shortly (the wait ends if it gets hidden).
    if (isVisible()) QTimer::singleShot(50, this, &mainwindow::applytopmost);
    return;
  }
  const bool on = *pendingtopmost;
  pendingtopmost.reset();
  const Qt::WindowFlags flags =
      on ? windowFlags() | Qt::WindowStaysOnTopHint : windowFlags() & ~Qt::WindowStaysOnTopHint;
  overrideWindowFlags(flags);
  windowHandle()->setFlags(flags);           // kept for later maps
  windowstate.setkeepabove(nativeid(), on);  // the window manager changes a mapped window on request only
}

void mainwindow::placewindow(int x, int y, int width, int height) {
  assertuithread();
  // Qt cannot give a window a negative size; the smallest it allows stands in.
  setGeometry(x, y, std::max(width, 0), std::max(height, 0));
}

bool mainwindow::event(QEvent *event) {
  // The window class is a property of the native window: given to each one
  // Qt makes for this widget, before it is mapped.
  if (event->type() == QEvent::WinIdChange && internalWinId())
    if (const appglobals *g = appglobals::current())
      windowstate.setwindowclass(internalWinId(), g->windowclass.toStdString());
  return QWidget::event(event);
}

void mainwindow::closeEvent(QCloseEvent *event) {
  if (const appglobals *g = appglobals::current(); g && g->browserclosing) {
    event->accept();
    return;
  }
  togglewindow();
  event->ignore();
}

void mainwindow::changeEvent(QEvent *event) {
  if (event->type() == QEvent::ActivationChange) {
    appglobals *g = appglobals::current();
    if (!g) return;
    const auto now = std::chrono::steady_clock::now();
    if (activationshouldsend(isActiveWindow(), now - g->lastactivity, browserready()))
      topage(pagemessage(std::string(msg::onactivate), {activationtext(getclipboardtext())}));
    g->lastactivity = now;
  } else if (event->type() == QEvent::WindowStateChange && isMinimized()) {
    sendposition();
  }
  QWidget::changeEvent(event);
}

void mainwindow::moveEvent(QMoveEvent *event) {
  sendposition();
  QWidget::moveEvent(event);
}

void mainwindow::resizeEvent(QResizeEvent *event) {
  if (!isMinimized()) fitbrowser();
  sendposition();
  QWidget::resizeEvent(event);
}

void mainwindow::fitbrowser() {
  if (browserready() && browserview) browserview->setGeometry(rect());
}

void mainwindow::sendposition() {
  if (!browserready()) return;
  const QRect r = geometry();
  topage(pagemessage(std::string(msg::onposchange), {r.left(), r.left() + r.width(), r.top(), r.top() + r.height()}));
}

void mainwindow::oncommand(unsigned int command) {
  assertuithread();
  appglobals *g = appglobals::current();
  if (!g) return;
  const commandkind kind = classifycommand(command, browserready());
  if (kind == commandkind::hide) {
    hide();
    return;
  }
  if (kind == commandkind::unhandled) return;
  g->lastactivity = std::chrono::steady_clock::now();
  switch (kind) {
    case commandkind::pageitem: {
      const trayicon::menuitem item = g->tray.finditem(static_cast<int>(command & 0xFFFF));
      if (item.id != -1)
        topage(pagemessage(std::string(msg::onmenu), {item.group.toStdString(), item.label.toStdString()}));
      break;
    }
    case commandkind::clipboardcall:
      topage(pagemessage(std::string(msg::onmenu), {std::string("Clipboard"), "Call " + getclipboardtext()}));
      break;
    case commandkind::about:
      desktop.openurl(g->serviceorigin + "/docs/desktop");
      break;
    case commandkind::exit:
      if (g->app && g->app->client && g->app->client->mainbrowser) g->app->client->mainbrowser->closebrowser();
      break;
    default:
      break;
  }
}
