#include "update/version.h"

#include <locale.h>
#include <stdlib.h>

#include <array>
#include <optional>
#include <string>

namespace {

using versionparts = std::array<double, 3>;

// The part read as C's strtod does (leading blanks skipped, longest valid
// prefix, 0 when there is none), always with the C locale's decimal point.
double readprefix(std::string_view part) {
  static const locale_t clocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  const std::string text(part);
  return strtod_l(text.c_str(), nullptr, clocale);
}

std::optional<versionparts> readversion(std::string_view text) {
  versionparts parts{};
  std::size_t count = 0;
  for (;;) {
    const std::size_t dot = text.find('.');
    if (count == parts.size()) return std::nullopt;
    parts[count++] = readprefix(text.substr(0, dot));
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  if (count != parts.size()) return std::nullopt;
  return parts;
}

}  // namespace

bool isnewerversion(std::string_view candidate, std::string_view current) {
  const auto c = readversion(candidate);
  const auto base = readversion(current);
  if (!c || !base) return false;
  for (std::size_t i = 0; i < c->size(); ++i) {
    if ((*c)[i] > (*base)[i]) return true;
    if ((*c)[i] < (*base)[i]) return false;
  }
  return false;
}
