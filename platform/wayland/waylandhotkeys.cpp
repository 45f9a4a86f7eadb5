#include "platform/wayland/waylandhotkeys.h"

#include <QCoreApplication>
#include <QString>
#include <cstdlib>

#include "common/debuglog.h"
#include "platform/linux/x11hotkeys.h"
#include "platform/wayland/gnomekeybindings.h"
#include "platform/wayland/portalhotkeys.h"

namespace {
bool gnomedesktop() {
  const char *desktop = std::getenv("XDG_CURRENT_DESKTOP");
  return desktop && QString::fromUtf8(desktop).contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}
}  // namespace

std::unique_ptr<hotkeyservice> makewaylandhotkeys() {
  // A portal that is starting takes a moment to answer; one that does not
  // answer at all costs the start-up this long.
  if (hasglobalshortcuts(5000)) {
    debugout("hotkeys: through the desktop's GlobalShortcuts portal");
    return std::make_unique<portalhotkeys>();
  }
  if (gnomedesktop() && gnomekeybindings::available()) {
    debugout("hotkeys: no GlobalShortcuts portal; using GNOME custom keybindings that run --hotkey=NAME");
    return std::make_unique<gnomekeybindings>(QCoreApplication::applicationFilePath().toStdString());
  }
  const char *display = std::getenv("DISPLAY");
  if (!display || !*display) {
    debugout("hotkeys: no GlobalShortcuts portal, no GNOME keybindings and no X display: hotkeys do nothing");
    return nullptr;
  }
  debugout("hotkeys: no GlobalShortcuts portal or GNOME keybindings; X11 grabs, a hotkey fires only in X11 windows");
  return std::make_unique<x11hotkeys>();
}
