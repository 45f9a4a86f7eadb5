#include "automation/clipboardwait.h"

#include <algorithm>

std::string waitforclipboard(int milliseconds, const std::function<std::string()> &read,
                             const std::function<void(int)> &sleepms) {
  if (milliseconds <= 0) return read();
  const int limit = std::min(milliseconds, 10000);
  std::string text;
  int elapsed = 0;
  do {
    text = read();
    if (!text.empty()) return text;
    sleepms(100);
    elapsed += 100;
  } while (elapsed < limit);
  return text;
}
