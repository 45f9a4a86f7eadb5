#pragma once

#include "plugins/pluginhost.h"

// The plugin host of the desktop program: answers go to the page with
// sendtopage, plugin files are fetched with updaterequest into the download
// directory, relays are "modrelay" beside the program, with their sockets in
// the runtime directory.
qxpenv desktopqxpenv();
downloader updaterequestdownloader();
