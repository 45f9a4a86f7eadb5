#pragma once

#include <string_view>

// The program's one debug sink: navigation URLs, plugin bridge tracing and
// other developer-facing lines. Each call writes one whole line to standard
// error, so lines from different threads never interleave.
void debugout(std::string_view line);
