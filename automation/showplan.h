#pragma once

#include <optional>

#include "platform/desktopwindows.h"

// What a show command (the SW_ constants) does to a window: hide it, show it
// (restored, maximised or as it was), or minimise it, and whether it becomes
// the active window. Nothing for a number that is no show command.
std::optional<showrequest> showplan(int command);
