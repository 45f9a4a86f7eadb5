#include "platform/linux/x11hotkeys.h"

#include <QCoreApplication>
#include <QSocketNotifier>

// Xlib after Qt: its macros clash with names in Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

x11hotkeys::x11hotkeys() = default;

x11hotkeys::~x11hotkeys() = default;

void x11hotkeys::setlistener(std::function<void(int)> listener) { listener_ = std::move(listener); }

bool x11hotkeys::open() {
  if (!x_) x_.emplace();
  return static_cast<bool>(*x_);
}

void x11hotkeys::watch() {
  if (notifier_ || !QCoreApplication::instance()) return;
  notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(x_->display()), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readevents(); });
}

// Which ModN bits Alt, Super and Num Lock sit on with the current keyboard.
modifiermasks x11hotkeys::masks() const {
  modifiermasks m;
  XModifierKeymap *map = XGetModifierMapping(x_->display());
  if (!map) return m;
  for (int mod = 3; mod < 8; ++mod) {
    for (int k = 0; k < map->max_keypermod; ++k) {
      const KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
      if (!code) continue;
      const KeySym sym = XkbKeycodeToKeysym(x_->display(), code, 0, 0);
      const unsigned bit = 1u << mod;
      if ((sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L) && !m.alt) m.alt = bit;
      if ((sym == XK_Super_L || sym == XK_Super_R) && !m.super) m.super = bit;
      if (sym == XK_Num_Lock && !m.numlock) m.numlock = bit;
    }
  }
  XFreeModifiermap(map);
  if (!m.alt) m.alt = Mod1Mask;
  if (!m.super) m.super = Mod4Mask;
  return m;
}

bool x11hotkeys::grab(const hotkeyrequest &request) {
  if (!open()) return false;
  watch();
  const unsigned long keysym = keysymforvirtualkey(request.virtualkey);
  const unsigned keycode = keysym ? XKeysymToKeycode(x_->display(), keysym) : 0;
  if (!keycode) return false;
  const modifiermasks m = masks();
  const unsigned mods = xmodifiers(request.modifiers, m);
  for (const unsigned variant : grabvariants(mods, m))
    XGrabKey(x_->display(), static_cast<int>(keycode), variant, x_->root(), True, GrabModeAsync, GrabModeAsync);
  XSync(x_->display(), False);
  grabs_.push_back({request.identifier, keycode, mods});
  // Events that arrived during the round trip sit in Xlib's queue, where
  // the socket notifier cannot see them.
  if (notifier_)
    QMetaObject::invokeMethod(
        notifier_.get(), [this] { readevents(); }, Qt::QueuedConnection);
  return true;
}

void x11hotkeys::readevents() {
  const modifiermasks m = masks();
  while (XPending(x_->display())) {
    XEvent e{};
    XNextEvent(x_->display(), &e);
    if (e.type != KeyPress) continue;
    const unsigned state = withoutlocks(e.xkey.state, m);
    for (const grabbed &g : grabs_) {
      if (g.keycode == e.xkey.keycode && g.mods == state) {
        if (listener_) listener_(g.identifier);
        break;
      }
    }
  }
}
