#include "platform/linux/x11windows.h"

#include <QString>
#include <algorithm>
#include <functional>

// Xlib after Qt: its macros clash with names in Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {
constexpr long withdrawnstate = 0, iconicstate = 3;

// WM_CLASS and STRING-typed WM_NAME are ISO Latin-1.
std::string latin1toutf8(const char *s) {
  std::string out;
  for (; s && *s; ++s) {
    const auto c = static_cast<unsigned char>(*s);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Class names and titles match without regard to case (full Unicode folding).
bool sametext(const std::string &a, const std::string &b) {
  return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}
}  // namespace

std::vector<Window> x11windows::children(Window w) const {
  Window rootret = None, parent = None, *list = nullptr;
  unsigned int n = 0;
  std::vector<Window> out;
  if (!XQueryTree(x_.display(), w, &rootret, &parent, &list, &n)) return out;
  if (list) {
    out.assign(list, list + n);
    XFree(list);
  }
  return out;
}

Window x11windows::parentof(Window w) const {
  Window rootret = None, parent = None, *list = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(x_.display(), w, &rootret, &parent, &list, &n)) return None;
  if (list) XFree(list);
  return parent;
}

std::optional<long> x11windows::wmstate(Window w) const {
  const Atom state = x_.atom("WM_STATE");
  return x_.firstitem(w, "WM_STATE", state);
}

bool x11windows::hasstate(Window w) const { return wmstate(w).has_value(); }

Window x11windows::clientof(Window w) const {
  if (hasstate(w)) return w;
  std::function<Window(Window)> search = [&](Window parent) -> Window {
    for (const Window c : children(parent)) {
      if (hasstate(c)) return c;
      if (const Window found = search(c)) return found;
    }
    return None;
  };
  const Window found = search(w);
  return found ? found : w;
}

// The windows a person sees first: the window manager's clients, topmost
// first; then the other children of the root (a frame counts as its client),
// mapped before unmapped, each group topmost first. Toolkits keep unmapped
// top-level helpers (a client leader) with the application's class; they
// must not shadow its real window.
std::vector<Window> x11windows::toplevels() const {
  std::vector<Window> out;
  auto clients = x_.property(x_.root(), x_.atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
  if (!clients) clients = x_.property(x_.root(), x_.atom("_NET_CLIENT_LIST"), XA_WINDOW);
  if (clients) out.assign(clients->items.rbegin(), clients->items.rend());
  const auto managed = out.size();
  const auto all = children(x_.root());
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    const Window w = clientof(*it);
    if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
  }
  std::stable_partition(out.begin() + static_cast<std::ptrdiff_t>(managed), out.end(), [&](Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(x_.display(), w, &a) && a.map_state == IsViewable;
  });
  return out;
}

bool x11windows::istoplevel(Window w) const { return hasstate(w) || parentof(w) == x_.root(); }

bool x11windows::hasmanager() const {
  return x_.firstitem(x_.root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).has_value();
}

windowid x11windows::reportedactive() const {
  const auto active = x_.firstitem(x_.root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  return active ? static_cast<windowid>(*active) : 0;
}

windowid x11windows::activewindow() {
  if (const windowid active = reportedactive()) return active;
  // Without a window manager: the top-level window holding the focus.
  Window w = focuswindow();
  if (!w) return 0;
  for (Window p = parentof(w); p && p != x_.root(); p = parentof(w)) w = p;
  return clientof(w);
}

windowid x11windows::focuswindow() {
  Window focus = None;
  int revert = 0;
  XGetInputFocus(x_.display(), &focus, &revert);
  return focus == None || focus == PointerRoot ? 0 : focus;
}

windowid x11windows::setfocus(windowid w) {
  const windowid previous = focuswindow();
  XSetInputFocus(x_.display(), w, RevertToParent, CurrentTime);
  XSync(x_.display(), False);
  return focuswindow() == w ? previous : 0;
}

bool x11windows::iswindow(windowid w) {
  XWindowAttributes a{};
  return w && XGetWindowAttributes(x_.display(), w, &a);
}

bool x11windows::isvisible(windowid w) {
  XWindowAttributes a{};
  if (!w || !XGetWindowAttributes(x_.display(), w, &a)) return false;
  const auto state = wmstate(w);
  if (a.map_state == IsUnmapped) return state && *state == iconicstate;
  return state ? *state != withdrawnstate : a.map_state == IsViewable;
}

bool x11windows::show(windowid w, const showrequest &r) {
  if (!iswindow(w)) return false;
  const bool wasvisible = isvisible(w);
  Display *d = x_.display();
  const bool top = istoplevel(w);
  switch (r.shown) {
    case showrequest::visibility::hide:
      if (top)
        XWithdrawWindow(d, w, DefaultScreen(d));
      else
        XUnmapWindow(d, w);
      break;
    case showrequest::visibility::minimize:
      if (!top) break;
      if (!wasvisible) {
        XWMHints hints{};
        hints.flags = StateHint;
        hints.initial_state = IconicState;
        XSetWMHints(d, w, &hints);
        XMapWindow(d, w);
      } else {
        XIconifyWindow(d, w, DefaultScreen(d));
      }
      break;
    case showrequest::visibility::show:
      if (top && r.maximize != showrequest::maximized::keep)
        sendrootmessage(d, w, "_NET_WM_STATE", r.maximize == showrequest::maximized::set ? 1 : 0,
                        static_cast<long>(x_.atom("_NET_WM_STATE_MAXIMIZED_VERT")),
                        static_cast<long>(x_.atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 2);
      XMapWindow(d, w);
      if (r.activate) setforeground(w);
      break;
  }
  XFlush(d);
  return wasvisible;
}

void x11windows::setforeground(windowid w) {
  Display *d = x_.display();
  XRaiseWindow(d, w);
  if (hasmanager())
    sendrootmessage(d, w, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
  else
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
  XFlush(d);
}

windowid x11windows::findchild(windowid parent, const std::optional<std::string> &cls,
                               const std::optional<std::string> &name) {
  const auto candidates = (parent == 0 || parent == x_.root()) ? toplevels() : children(parent);
  for (const Window c : candidates)
    if ((!cls || sametext(classname(c), *cls)) && (!name || sametext(title(c), *name))) return c;
  return 0;
}

std::vector<windowid> x11windows::descendants(windowid w) {
  std::vector<windowid> out;
  std::function<void(Window)> walk = [&](Window parent) {
    for (const Window c : children(parent)) {
      out.push_back(c);
      walk(c);
    }
  };
  if (w != x_.root()) {
    walk(w);
    return out;
  }
  for (const Window top : toplevels()) {
    out.push_back(top);
    walk(top);
  }
  return out;
}

std::string x11windows::classname(windowid w) {
  XClassHint hint{};
  if (!XGetClassHint(x_.display(), w, &hint)) return {};
  std::string name = latin1toutf8(hint.res_class && *hint.res_class ? hint.res_class : hint.res_name);
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return name;
}

std::string x11windows::title(windowid w) {
  if (const auto v = x_.property(w, x_.atom("_NET_WM_NAME"), x_.atom("UTF8_STRING")); v && v->format == 8)
    return std::string(v->bytes.begin(), v->bytes.end());
  XTextProperty prop{};
  if (!XGetWMName(x_.display(), w, &prop) || !prop.value) return {};
  std::string text;
  if (prop.encoding == XA_STRING) {
    text = latin1toutf8(std::string(reinterpret_cast<char *>(prop.value), prop.nitems).c_str());
  } else {
    char **list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(x_.display(), &prop, &list, &count) >= Success && list) {
      for (int i = 0; i < count; ++i) text += list[i];
      XFreeStringList(list);
    }
  }
  XFree(prop.value);
  return text;
}

std::optional<screenrect> x11windows::rect(windowid w) {
  XWindowAttributes a{};
  if (!w || !XGetWindowAttributes(x_.display(), w, &a)) return std::nullopt;
  int x = 0, y = 0;
  Window child = None;
  if (!XTranslateCoordinates(x_.display(), w, x_.root(), 0, 0, &x, &y, &child)) return std::nullopt;
  screenrect r{x - a.border_width, y - a.border_width, x + a.width + a.border_width, y + a.height + a.border_width};
  // A managed window's rectangle includes the frame the window manager drew.
  if (const auto v = x_.property(w, x_.atom("_NET_FRAME_EXTENTS"), XA_CARDINAL); v && v->items.size() == 4) {
    r.left -= static_cast<int>(v->items[0]);
    r.right += static_cast<int>(v->items[1]);
    r.top -= static_cast<int>(v->items[2]);
    r.bottom += static_cast<int>(v->items[3]);
  }
  return r;
}

std::uint32_t x11windows::processid(windowid w) {
  for (Window c = w; c && c != x_.root(); c = parentof(c))
    if (const auto pid = x_.firstitem(c, "_NET_WM_PID", XA_CARDINAL)) return static_cast<std::uint32_t>(*pid);
  return 0;
}

std::optional<screenpoint> x11windows::cursorpos() {
  Window rootret = None, child = None;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(x_.display(), x_.root(), &rootret, &child, &rx, &ry, &wx, &wy, &mask)) return std::nullopt;
  return screenpoint{rx, ry};
}

void x11windows::setcursorpos(screenpoint p) {
  XWarpPointer(x_.display(), None, x_.root(), 0, 0, 0, 0, p.x, p.y);
  XFlush(x_.display());
}

std::optional<screenpoint> x11windows::translate(windowid from, windowid to, screenpoint p) {
  const Window src = from ? from : x_.root(), dst = to ? to : x_.root();
  if (!iswindow(src) || !iswindow(dst)) return std::nullopt;
  int x = 0, y = 0;
  Window child = None;
  if (!XTranslateCoordinates(x_.display(), src, dst, p.x, p.y, &x, &y, &child)) return std::nullopt;
  return screenpoint{x, y};
}

windowid x11windows::windowat(screenpoint p) {
  Window at = x_.root(), client = None, child = None;
  int x = 0, y = 0;
  while (XTranslateCoordinates(x_.display(), x_.root(), at, p.x, p.y, &x, &y, &child) && child) {
    at = child;
    if (!client && hasstate(at)) client = at;
  }
  if (at == x_.root()) return 0;
  if (client) return at;
  // Over a window manager's frame (title bar, border): its client window.
  Window top = at;
  for (Window up = parentof(top); up && up != x_.root(); up = parentof(top)) top = up;
  return clientof(top);
}

windowid x11windows::childat(windowid parent, screenpoint p) {
  XWindowAttributes a{};
  if (!XGetWindowAttributes(x_.display(), parent, &a)) return 0;
  if (p.x < 0 || p.y < 0 || p.x >= a.width || p.y >= a.height) return 0;
  int x = 0, y = 0;
  Window child = None;
  if (!XTranslateCoordinates(x_.display(), parent, parent, p.x, p.y, &x, &y, &child)) return 0;
  return child ? child : parent;
}
