#include "platform/linux/x11windowstate.h"

// Qt before Xlib: Xlib's macros (Status, Bool) break Qt's headers.
#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/linux/x11connection.h"

namespace {
Display *qtdisplay() {
  auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->display() : nullptr;
}
}  // namespace

void x11windowstate::setkeepabove(windowid window, bool on) {
  Display *display = qtdisplay();
  if (!display) return;
  // _NET_WM_STATE_ADD or _REMOVE, asked for by an application.
  sendrootmessage(display, static_cast<Window>(window), "_NET_WM_STATE", on ? 1 : 0,
                  static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False)), 0, 1);
  XFlush(display);
}

void x11windowstate::activate(windowid window) {
  Display *display = qtdisplay();
  if (!display) return;
  XRaiseWindow(display, static_cast<Window>(window));
  sendrootmessage(display, static_cast<Window>(window), "_NET_ACTIVE_WINDOW", 2, CurrentTime);
  XFlush(display);
}

void x11windowstate::setwindowclass(windowid window, const std::string &classname) {
  Display *display = qtdisplay();
  if (!display) return;
  const auto w = static_cast<Window>(window);
  std::string instance = classname;
  if (XClassHint old{}; XGetClassHint(display, w, &old)) {
    if (old.res_name) instance = old.res_name;
    if (old.res_name) XFree(old.res_name);
    if (old.res_class) XFree(old.res_class);
  }
  std::string cls = classname;
  XClassHint hint{instance.data(), cls.data()};
  XSetClassHint(display, w, &hint);
  XFlush(display);
}
