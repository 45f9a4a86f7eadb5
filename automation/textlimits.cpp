#include "automation/textlimits.h"

namespace {
// Length of the valid UTF-8 sequence starting at `i`, or 0 when invalid.
std::size_t sequencelength(std::string_view s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n = 0;
  if (b < 0x80)
    return 1;
  else if (b >= 0xC2 && b <= 0xDF)
    n = 2;
  else if (b >= 0xE0 && b <= 0xEF)
    n = 3;
  else if (b >= 0xF0 && b <= 0xF4)
    n = 4;
  else
    return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}
}  // namespace

std::string cututf16(std::string_view utf8, std::size_t units) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t n = sequencelength(utf8, i);
    const std::size_t need = n == 4 ? 2 : 1;
    if (used + need > units) break;
    used += need;
    i += n == 0 ? 1 : n;
  }
  return std::string(utf8.substr(0, i));
}

std::string describeerror(std::string_view text, bool istext, std::string_view type) {
  if (istext) return std::string(text);
  return "(error object is a " + std::string(type) + " value)";
}

std::string cututf8(std::string_view utf8, std::size_t bytes) {
  if (utf8.size() <= bytes) return std::string(utf8);
  std::size_t i = 0;
  while (i < bytes) {
    const std::size_t n = sequencelength(utf8, i);
    const std::size_t step = n == 0 ? 1 : n;
    if (i + step > bytes) break;
    i += step;
  }
  return std::string(utf8.substr(0, i));
}
