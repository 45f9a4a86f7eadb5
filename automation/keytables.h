#pragma once

#include <optional>
#include <span>
#include <string_view>

// A name scripts use for a number: a virtual-key code or a window, input or
// key-event constant.
struct namedconstant {
  std::string_view name;
  int value;
};

// The 173 virtual-key names in their fixed order. Letters and digits are
// named by their one upper-case character; F11 is spelled "VK_11".
std::span<const namedconstant> virtualkeys();
// The 21 show-command, input-type, key-event and install-scope constants.
std::span<const namedconstant> otherconstants();

// The code of a virtual-key name (exact, case-sensitive); nothing when the
// table has no such name.
std::optional<int> findvirtualkey(std::string_view name);

// Virtual-key codes the automation functions use themselves.
namespace vk {
inline constexpr int lbutton = 0x01, rbutton = 0x02, mbutton = 0x04, xbutton1 = 0x05, xbutton2 = 0x06;
inline constexpr int tab = 0x09, enter = 0x0D, shift = 0x10, control = 0x11, menu = 0x12, space = 0x20;
inline constexpr int lwin = 0x5B, rwin = 0x5C;
}  // namespace vk
