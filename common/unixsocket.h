#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "common/ownedfd.h"

// Unix-domain stream sockets named by a path, opened close-on-exec. On
// failure the result holds nothing and errno says why: ENAMETOOLONG for a
// path longer than a socket address holds (it is never cut short).

// Connects to the socket at `path`.
ownedfd unixconnect(const std::string &path);
// Binds a new socket to `path`, which must not exist yet, and listens on it.
ownedfd unixlisten(const std::string &path, int backlog);
// The effective user id of the process at the other end of the connected
// socket `fd`, as the kernel recorded it when that end connected or began to
// listen (SO_PEERCRED); nothing when the kernel cannot say.
std::optional<uid_t> unixpeeruid(int fd);
