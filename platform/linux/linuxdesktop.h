#pragma once

#include <memory>

#include "platform/desktopplatform.h"

// The desktop of this session: X11 windows, XTest input, key grabs, the
// CLIPBOARD selection and AT-SPI 2. Parts that cannot be reached (no
// display, no accessibility bus) are left out. Create it on the UI thread
// after the Qt application object.
std::unique_ptr<desktopplatform> makelinuxdesktop();
