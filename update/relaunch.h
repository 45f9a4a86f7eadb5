#pragma once

#include <sys/types.h>

#include <string>

// Starts a pending update's command line (the one the updater scheduled) at
// the end of shutdown: splits it as a shell would (splitcommandline), makes the
// program it names executable by its owner (a downloaded installer arrives
// without that bit) and starts it in a session of its own, with no
// descriptors but the standard three and the caller's environment. Does not
// wait. Returns the new process id, or -1 when nothing could be started.
pid_t startupdatecommand(const std::string &command);
