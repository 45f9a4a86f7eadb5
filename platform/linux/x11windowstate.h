#pragma once

#include <cstdint>

// Asks the window manager to keep a mapped top-level window above others, or
// to stop doing so (_NET_WM_STATE_ABOVE). No effect without an X11 display.
void setkeepabove(std::uint64_t window, bool on);
