#pragma once

#include <string>

#include "common/ownedfd.h"

// Unix-domain stream sockets named by a path, opened close-on-exec. On
// failure the result holds nothing and errno says why: ENAMETOOLONG for a
// path longer than a socket address holds (it is never cut short).

// Connects to the socket at `path`.
ownedfd unixconnect(const std::string &path);
// Binds a new socket to `path`, which must not exist yet, and listens on it.
ownedfd unixlisten(const std::string &path, int backlog);
