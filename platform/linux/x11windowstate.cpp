#include "platform/linux/x11windowstate.h"

// Qt before Xlib: Xlib's macros (Status, Bool) break Qt's headers.
#include <QGuiApplication>

#include <X11/Xlib.h>

void setkeepabove(std::uint64_t window, bool on) {
  auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display *display = x11 ? x11->display() : nullptr;
  if (!display) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = static_cast<Window>(window);
  e.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD / _NET_WM_STATE_REMOVE
  e.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
  e.xclient.data.l[3] = 1;  // asked for by an application
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(display);
}
