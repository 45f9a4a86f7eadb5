#pragma once

#include "platform/balloons.h"
#include "plugins/pluginhost.h"

// The plugin environment of the desktop program: answers go to the page
// through `send` (the program's page sink), or through `deliver` when the UI
// thread has them while it handles the page's call; relays are "modrelay"
// beside the program, with their sockets in the runtime directory, and
// Windows plugins run in the Wine prefix "wine" of the data directory; a
// balloon tells the user while that prefix is first made.
qxpenv desktopqxpenv(pagesink send, pagesink deliver, const std::string &datadir, balloonsink balloons);
