#include "platform/linux/x11connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {
int ignoreerror(Display *, XErrorEvent *) { return 0; }
}  // namespace

x11connection::x11connection() {
  display_ = XOpenDisplay(nullptr);
  if (!display_) return;
  // The default handler ends the process on any protocol error. Qt installs
  // the same ignoring handler for its own connection.
  XSetErrorHandler(ignoreerror);
  root_ = DefaultRootWindow(display_);
}

x11connection::~x11connection() {
  if (display_) XCloseDisplay(display_);
}

Atom x11connection::atom(const char *name) const { return XInternAtom(display_, name, False); }

std::optional<x11connection::propertyvalue> x11connection::property(Window w, Atom name, Atom type) const {
  Atom actualtype = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char *data = nullptr;
  if (XGetWindowProperty(display_, w, name, 0, 1 << 24, False, type, &actualtype, &format, &count, &after, &data) !=
      Success)
    return std::nullopt;
  if (actualtype == None) {
    if (data) XFree(data);
    return std::nullopt;
  }
  propertyvalue v;
  v.type = actualtype;
  v.format = format;
  if (data) {
    if (format == 8)
      v.bytes.assign(data, data + count);
    else if (format == 32)
      v.items.assign(reinterpret_cast<long *>(data), reinterpret_cast<long *>(data) + count);
    XFree(data);
  }
  return v;
}

std::optional<long> x11connection::firstitem(Window w, const char *name, Atom type) const {
  const auto v = property(w, atom(name), type);
  if (!v || v->format != 32 || v->items.empty()) return std::nullopt;
  return v->items.front();
}

void sendrootmessage(Display *display, Window window, const char *type, long l0, long l1, long l2, long l3) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display, type, False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = l0;
  e.xclient.data.l[1] = l1;
  e.xclient.data.l[2] = l2;
  e.xclient.data.l[3] = l3;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}
