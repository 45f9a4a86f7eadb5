#pragma once
// The serving side of a plugin relay program (modrelay, the Windows plugin
// host): connecting to the program's socket and answering its calls with one
// loaded plugin.
#include <string>

#include "common/ownedfd.h"
#include "protocol/handlecall.h"

// Connects to the program's socket, retrying while it is not there yet or not
// yet listening. Returns the socket, or nothing with the relay's exit code
// in `code`.
ownedfd connecttohost(const std::string &path, int &code);

// Answers the program's calls with `handlecall` until "fini" (which the
// plugin sees before "ok" is sent) or until the socket ends.
void serverelay(int host, handlecallfn handlecall);
