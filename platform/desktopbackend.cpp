#include "platform/desktopbackend.h"

#include <cstdlib>

#include "platform/linux/linuxdesktop.h"
#include "platform/linux/x11windowstate.h"

namespace {
std::string variable(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}
}  // namespace

sessionenvironment currentsession() {
  return {variable("XDG_SESSION_TYPE"), variable("WAYLAND_DISPLAY"), variable("DISPLAY")};
}

desktopkind choosedesktop(const sessionenvironment &) { return desktopkind::x11; }

const char *qtplatformfor(desktopkind kind) {
  switch (kind) {
    case desktopkind::x11:
      return "xcb";
  }
  return "";  // not reached: every kind has its case
}

desktopbackend makedesktopbackend(desktopkind kind) {
  desktopbackend backend;
  switch (kind) {
    case desktopkind::x11:
      backend.automation = makelinuxdesktop();
      backend.window = std::make_unique<x11windowstate>();
      break;
  }
  return backend;
}
