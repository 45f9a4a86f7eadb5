#include "automation/inputplan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "automation/keytables.h"
#include "platform/hotkeyservice.h"

namespace {
// The modifier key a modifier character holds; 0 for other characters.
int modifierkey(char c) {
  switch (c) {
    case '!':
      return vk::menu;
    case '^':
      return vk::control;
    case '+':
      return vk::shift;
    case '~':
      return vk::lwin;
    default:
      return 0;
  }
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::optional<int> onecharkey(char c) { return findvirtualkey(std::string(1, upper(c))); }
}  // namespace

std::vector<keyevent> expandsendstring(std::string_view text) {
  std::vector<keyevent> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    int modifier = 0;
    std::optional<int> key;
    if (c == '\t') {
      key = vk::tab;
    } else if (c == '\n' || c == '\r') {
      key = vk::enter;
    } else if (c == ' ') {
      key = vk::space;
    } else if (const int m = modifierkey(c)) {
      if (i + 1 >= text.size()) break;
      modifier = m;
      key = onecharkey(text[++i]);
    } else {
      key = onecharkey(c);
    }
    if (!key) continue;
    if (modifier) out.push_back({modifier, true});
    out.push_back({*key, true});
    out.push_back({*key, false});
    if (modifier) out.push_back({modifier, false});
  }
  return out;
}

unsigned hotkeyspec::modifiers() const {
  return (alt ? hotkeyservice::alt : 0) | (ctrl ? hotkeyservice::control : 0) |
         (shift ? hotkeyservice::shift : 0) | (win ? hotkeyservice::win : 0);
}

std::optional<hotkeyspec> parsehotkey(std::string_view text) {
  hotkeyspec h;
  std::size_t count = 0;
  for (const char c : text) {
    switch (c) {
      case '!':
        h.alt = true;
        break;
      case '^':
        h.ctrl = true;
        break;
      case '+':
        h.shift = true;
        break;
      case '~':
        h.win = true;
        break;
      default:
        continue;
    }
    ++count;
  }
  std::string name(text.substr(count));
  std::transform(name.begin(), name.end(), name.begin(), upper);
  const auto key = findvirtualkey(name);
  if (!key) return std::nullopt;
  h.virtualkey = *key;
  return h;
}

std::vector<keyevent> hotkeyreleases(const hotkeyspec &h) {
  std::vector<keyevent> out{{h.virtualkey, false}};
  if (h.ctrl) out.push_back({vk::control, false});
  if (h.alt) out.push_back({vk::menu, false});
  if (h.shift) out.push_back({vk::shift, false});
  if (h.win) {
    out.push_back({vk::lwin, false});
    out.push_back({vk::rwin, false});
  }
  return out;
}

std::vector<keyevent> keyboardinput(int code, int keyeventvalue) {
  switch (keyeventvalue) {
    case 0:
      return {{code, true}};
    case 2:
      return {{code, false}};
    case 3:
      return {{code, true}, {code, false}};
    default:
      return {};
  }
}

int pointerbutton(int code) {
  switch (code) {
    case vk::lbutton:
      return 1;
    case vk::mbutton:
      return 2;
    case vk::rbutton:
      return 3;
    case vk::xbutton1:
      return 8;
    default:
      return 0;
  }
}

int truncatetoint(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return static_cast<int>(value);
}

int sleepmilliseconds(double requested) { return std::clamp(truncatetoint(requested), 0, 10000); }
