#pragma once

#include <memory>
#include <string>

#include "platform/desktopplatform.h"
#include "platform/ownwindow.h"

// The desktop implementations the program can run on; one folder under
// platform/ each.
enum class desktopkind { x11 };

// What a session says about its desktop (empty when unset).
struct sessionenvironment {
  std::string sessiontype;     // XDG_SESSION_TYPE: x11, wayland, tty ...
  std::string waylanddisplay;  // WAYLAND_DISPLAY
  std::string x11display;      // DISPLAY
};
// This process's session, read from its environment.
sessionenvironment currentsession();

// The backend for a session. X11 serves every session: a Wayland session
// runs the program through XWayland.
desktopkind choosedesktop(const sessionenvironment &session);

// The Qt platform the program's own windows must use with a backend, so
// that its window requests reach the same desktop. Set before the Qt
// application object is made.
const char *qtplatformfor(desktopkind kind);

// Everything the program reaches of the desktop: the facilities of the
// automation library and the state of the program's own windows.
struct desktopbackend {
  std::unique_ptr<desktopplatform> automation;
  std::unique_ptr<ownwindow> window;
};

// Makes a backend's facilities; the parts the session cannot give are left
// out of `automation` (see desktopplatform). Make it on the UI thread after
// the Qt application object.
desktopbackend makedesktopbackend(desktopkind kind);
