#include "platform/desktopbackend.h"

#include <QGuiApplication>
#include <cstdlib>

#include "platform/linux/linuxdesktop.h"
#include "platform/linux/x11windowstate.h"
#include "platform/wayland/nativeownwindow.h"
#include "platform/wayland/waylanddesktop.h"

namespace {
std::string variable(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}
}  // namespace

sessionenvironment currentsession() {
  return {variable("XDG_SESSION_TYPE"), variable("WAYLAND_DISPLAY"), variable("DISPLAY")};
}

desktopkind choosedesktop(const sessionenvironment &session) {
  if (session.sessiontype == "wayland") return desktopkind::wayland;
  if (!session.waylanddisplay.empty() && session.sessiontype != "x11") return desktopkind::wayland;
  return desktopkind::x11;
}

const char *qtplatformfor(desktopkind kind, const sessionenvironment &session) {
  switch (kind) {
    case desktopkind::x11:
      return "xcb";
    case desktopkind::wayland:
      return session.x11display.empty() ? "wayland" : "xcb";
  }
  return "";  // not reached: every kind has its case
}

desktopbackend makedesktopbackend(desktopkind kind, const balloonsink &balloons) {
  desktopbackend backend;
  switch (kind) {
    case desktopkind::x11:
      backend.automation = makelinuxdesktop();
      backend.window = std::make_unique<x11windowstate>();
      break;
    case desktopkind::wayland:
      backend.automation = makewaylanddesktop(balloons);
      // The program's windows follow Qt's platform, which the user may have
      // chosen (QT_QPA_PLATFORM) rather than qtplatformfor.
      if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        backend.window = std::make_unique<x11windowstate>();
      else
        backend.window = std::make_unique<nativeownwindow>();
      break;
  }
  return backend;
}
