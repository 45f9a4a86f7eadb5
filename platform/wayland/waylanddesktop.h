#pragma once

#include <memory>

#include "platform/balloons.h"
#include "platform/desktopplatform.h"

// The desktop of a Wayland session: windows of X11 applications through
// XWayland and of native applications through AT-SPI, the focused field
// through AT-SPI, input and hotkeys through the desktop's portals (see
// waylandhotkeys.h for the fallbacks), the clipboard as wlclipboard,
// XWayland's or Qt's (see the factory). Create it on the UI thread after the
// Qt application object; `balloons` tells the user when the desktop refuses
// synthetic input.
std::unique_ptr<desktopplatform> makewaylanddesktop(const balloonsink &balloons);
