#include "app/dialuri.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 4> schemes = {"tel", "sip", "sips", "callto"};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameletters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// The scheme of a dial link in lower case; empty for anything else.
std::string_view schemeof(std::string_view uri) {
  const auto colon = uri.find(':');
  if (colon == std::string_view::npos) return {};
  for (std::string_view s : schemes)
    if (sameletters(uri.substr(0, colon), s)) return s;
  return {};
}

int hexvalue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// %XX escapes decoded; a '%' without two hex digits stays as it is.
std::string percentdecoded(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int hi = hexvalue(s[i + 1]), lo = hexvalue(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

bool isseparator(char c) { return c == ' ' || c == '-' || c == '.' || c == '(' || c == ')'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool isdialuri(std::string_view arg) { return !schemeof(trimmed(arg)).empty(); }

bool isdialablenumber(std::string_view number) {
  if (number.empty() || number.size() > maxdialbytes) return false;
  bool digit = false;
  for (std::size_t i = 0; i < number.size(); ++i) {
    const char c = number[i];
    if (c >= '0' && c <= '9')
      digit = true;
    else if (!(c == '*' || c == '#' || (c == '+' && i == 0)))
      return false;
  }
  return digit;
}

std::optional<std::string> dialablenumber(std::string_view uri) {
  uri = trimmed(uri);
  const std::string_view scheme = schemeof(uri);
  if (scheme.empty()) return std::nullopt;
  const std::string decoded = percentdecoded(uri.substr(scheme.size() + 1));
  std::string_view rest = decoded;
  if (rest.starts_with("//")) rest.remove_prefix(2);
  rest = rest.substr(0, rest.find_first_of(";,?"));
  if (scheme == "sip" || scheme == "sips") rest = rest.substr(0, rest.find('@'));

  std::string number;
  for (const char c : trimmed(rest)) {
    if (isseparator(c)) continue;
    number += c;
  }
  if (!isdialablenumber(number)) return std::nullopt;
  return number;
}
