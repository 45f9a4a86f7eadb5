#include "app/bringtofront.h"

// Qt before Xlib: Xlib's macros (Status, Bool) break Qt's headers.
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <X11/Xlib.h>

namespace {

void askmanager(WId window) {
  auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display *display = x11 ? x11->display() : nullptr;
  if (!display) return;
  XRaiseWindow(display, static_cast<Window>(window));
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = static_cast<Window>(window);
  e.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 2;  // source: a pager
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &e);
  XFlush(display);
}

void activatewhenmapped(QPointer<QWidget> window, int triesleft) {
  if (!window || !window->isVisible()) return;
  if (window->windowHandle() && window->windowHandle()->isExposed()) {
    askmanager(window->winId());
    return;
  }
  if (triesleft > 0)
    QTimer::singleShot(50, window, [window, triesleft] { activatewhenmapped(window, triesleft - 1); });
}

}  // namespace

void bringtofront(QWidget &window) { activatewhenmapped(QPointer<QWidget>(&window), 40); }
