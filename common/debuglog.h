#pragma once

#include <initializer_list>
#include <string_view>

// The program's one debug sink: navigation URLs, plugin bridge tracing and
// other developer-facing lines. Each call writes one whole line to standard
// error, so lines from different threads never interleave.
void debugout(std::string_view line);
// Several lines at once, in one write: they stay together, and a busy caller
// (the plugin bridge traces every call) pays for one write instead of many.
void debugout(std::initializer_list<std::string_view> lines);
