#pragma once

#include <string_view>

// Schemes the browser shows itself. A navigation to any other scheme is a
// link to another program: the engine hands it to the desktop's handler for
// that scheme.
bool isbrowserscheme(std::string_view scheme);

// The system browser is given only web addresses: http or https with a host.
bool systembrowsermayopen(std::string_view url);
