#pragma once

#include <functional>
#include <string>

// Polls the clipboard until it holds text: one read when `milliseconds` is 0
// or less; otherwise a read every 100 ms, stopping at the first non-empty
// text or once min(milliseconds, 10000) ms have passed. Returns the last
// text read (empty when there never was any).
std::string waitforclipboard(int milliseconds, const std::function<std::string()> &read,
                             const std::function<void(int)> &sleepms);
