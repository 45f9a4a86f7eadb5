#pragma once

#include <memory>
#include <string>

#include "platform/balloons.h"
#include "platform/desktopplatform.h"
#include "platform/ownwindow.h"

// The desktop implementations the program can run on; one folder under
// platform/ each.
enum class desktopkind { x11, wayland };

// What a session says about its desktop (empty when unset).
struct sessionenvironment {
  std::string sessiontype;     // XDG_SESSION_TYPE: x11, wayland, tty ...
  std::string waylanddisplay;  // WAYLAND_DISPLAY
  std::string x11display;      // DISPLAY
};
// This process's session, read from its environment.
sessionenvironment currentsession();

// The backend for a session: a session that says it is Wayland, or has a
// Wayland display and does not say it is X11, is Wayland; anything else X11.
desktopkind choosedesktop(const sessionenvironment &session);

// The Qt platform of the program's own windows. On Wayland they stay X11
// clients while XWayland exists (DISPLAY set): placing, keeping above and
// activating the window need it; without it they are native Wayland
// clients. Set before the Qt application object is made.
const char *qtplatformfor(desktopkind kind, const sessionenvironment &session);

// Everything the program reaches of the desktop: the facilities of the
// automation library and the state of the program's own windows.
struct desktopbackend {
  std::unique_ptr<desktopplatform> automation;
  std::unique_ptr<ownwindow> window;
};

// Makes a backend's facilities; the parts the session cannot give are left
// out of `automation` (see desktopplatform). Make it on the UI thread after
// the Qt application object. `balloons` tells the user when the desktop
// refuses a facility (a Wayland desktop may refuse synthetic input).
desktopbackend makedesktopbackend(desktopkind kind, const balloonsink &balloons);
