#pragma once

#include <string>
#include <string_view>

enum class consolelevel { info, warning, error };

// One debug-output line for a message a page wrote to its console:
// "console: ", "console warning: " or "console error: " and the message, with
// backslashes and control characters escaped so that the message stays on
// one line and can be read back exactly.
std::string consoledebugline(consolelevel level, std::string_view message);
