#include "platform/linux/x11input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "common/debuglog.h"
#include "platform/linux/x11keys.h"

x11input::x11input(const x11connection &x) : x_(x) {}

bool x11input::hasxtest() {
  if (!xtest_) {
    int event = 0, error = 0, major = 0, minor = 0;
    xtest_ = XTestQueryExtension(x_.display(), &event, &error, &major, &minor) != False;
    if (!*xtest_) debugout("the X server has no XTest extension: scripts cannot send input");
  }
  return *xtest_;
}

void x11input::key(int virtualkey, bool down) {
  const unsigned long keysym = keysymforvirtualkey(virtualkey);
  if (!keysym || !hasxtest()) return;
  const KeyCode code = XKeysymToKeycode(x_.display(), keysym);
  if (!code) return;
  XTestFakeKeyEvent(x_.display(), code, down ? True : False, CurrentTime);
  XSync(x_.display(), False);
}

void x11input::movepointer(screenpoint p) {
  if (!hasxtest()) return;
  XTestFakeMotionEvent(x_.display(), DefaultScreen(x_.display()), p.x, p.y, CurrentTime);
  XSync(x_.display(), False);
}

void x11input::button(int number, bool down) {
  if (!hasxtest()) return;
  XTestFakeButtonEvent(x_.display(), static_cast<unsigned>(number), down ? True : False, CurrentTime);
  XSync(x_.display(), False);
}

std::optional<screenpoint> x11input::screensize() {
  Display *d = x_.display();
  return screenpoint{DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
}
