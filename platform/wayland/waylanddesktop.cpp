#include "platform/wayland/waylanddesktop.h"

#include <QGuiApplication>

#include "common/debuglog.h"
#include "platform/linux/atspitext.h"
#include "platform/linux/x11clipboard.h"
#include "platform/wayland/portalinput.h"
#include "platform/wayland/qtclipboard.h"
#include "platform/wayland/waylandhotkeys.h"
#include "platform/wayland/waylandwindows.h"
#include "platform/wayland/wlclipboard.h"

namespace {
// Owns XWayland's connection (null without XWayland) for the window parts.
struct waylanddesktop : desktopplatform {
  x11connection connection;
  ~waylanddesktop() override {
    text.reset();
    hotkeys.reset();
    input.reset();
    windows.reset();
  }
};
}  // namespace

std::unique_ptr<desktopplatform> makewaylanddesktop(const balloonsink &balloons) {
  auto d = std::make_unique<waylanddesktop>();
  const bool xwayland = static_cast<bool>(d->connection);
  d->windows = std::make_unique<waylandwindows>(xwayland ? std::make_unique<x11windows>(d->connection) : nullptr,
                                                xwayland ? d->connection.root() : 0);
  d->text = std::make_unique<atspitext>(*d->windows);
  // The Wayland clipboard itself where the compositor lets any client reach
  // it. Else XWayland's, which the compositor keeps in step with it (GNOME);
  // it is written through Qt, so only while Qt runs on X11. Else Qt's own
  // Wayland clipboard, which follows the keyboard focus.
  if (wlclipboard::available()) {
    d->clipboard = std::make_unique<wlclipboard>();
    debugout("clipboard: the Wayland clipboard through wl-paste and wl-copy");
  } else if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
    d->clipboard = std::make_unique<x11clipboard>();
  } else {
    d->clipboard = std::make_unique<qtclipboard>();
  }
  // XTEST and key grabs would reach X11 windows only.
  d->input = std::make_unique<portalinput>(balloons);
  d->hotkeys = makewaylandhotkeys();
  return d;
}
