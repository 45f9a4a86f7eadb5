#pragma once

#include <sys/types.h>

#include <string>

// The browser engine's sandbox keeps a renderer (which runs whatever a page
// sends) from the user's files and processes: a renderer bug exploited by any
// page stays inside it. It is on unless it cannot be or the user asks.
enum class sandboxstate {
  on,
  offroot,   // the engine refuses to start sandboxed as root
  offasked,  // --no-sandbox, or ORVALINK_NO_SANDBOX set to anything but "" or "0"
};

// `uid`, `euid`: the process's user ids; `noswitch`: --no-sandbox was given;
// `noenv`: the value of ORVALINK_NO_SANDBOX (null when unset).
sandboxstate choosesandbox(uid_t uid, uid_t euid, bool noswitch, const char *noenv);

// The debug line that says what was chosen.
std::string sandboxline(sandboxstate s);
