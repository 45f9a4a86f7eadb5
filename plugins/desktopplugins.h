#pragma once

#include "plugins/pluginhost.h"

// The plugin environment of the desktop program: answers go to the page
// through `send` (the program's page sink), relays are "modrelay" beside the
// program, with their sockets in the runtime directory.
qxpenv desktopqxpenv(pagesink send);
