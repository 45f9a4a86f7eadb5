#pragma once

#include <memory>

#include "platform/hotkeyservice.h"

// The hotkeys of a Wayland session, best first: the desktop's shortcut
// portal; else GNOME custom keybindings that start the program again with
// --hotkey=NAME; else X11 grabs on XWayland's display (they fire only while
// an X11 window has the focus); null when there is no X display either. A
// debug line says which. Make it on the UI thread after the Qt application
// object; it waits a moment for the portal's answer.
std::unique_ptr<hotkeyservice> makewaylandhotkeys();
