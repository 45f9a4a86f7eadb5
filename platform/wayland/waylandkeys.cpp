#include "platform/wayland/waylandkeys.h"

#include <linux/input-event-codes.h>

#include <cctype>
#include <string_view>

#include "platform/hotkeyservice.h"

namespace {
struct waylandkey {
  int virtualkey;
  std::string_view symbol;  // the XKB keysym name
  unsigned evdev;
};

// Keys other than letters, digits and function keys. Keys with no evdev
// code of their own (numeric-pad separator ...) type nothing.
constexpr waylandkey keys[] = {
    {0x08, "BackSpace", KEY_BACKSPACE},
    {0x09, "Tab", KEY_TAB},
    {0x0C, "Clear", KEY_CLEAR},
    {0x0D, "Return", KEY_ENTER},
    {0x10, "Shift_L", KEY_LEFTSHIFT},
    {0x11, "Control_L", KEY_LEFTCTRL},
    {0x12, "Alt_L", KEY_LEFTALT},
    {0x13, "Pause", KEY_PAUSE},
    {0x14, "Caps_Lock", KEY_CAPSLOCK},
    {0x15, "Hangul", KEY_HANGEUL},
    {0x19, "Hangul_Hanja", KEY_HANJA},
    {0x1B, "Escape", KEY_ESC},
    {0x1C, "Henkan", KEY_HENKAN},
    {0x1D, "Muhenkan", KEY_MUHENKAN},
    {0x20, "space", KEY_SPACE},
    {0x21, "Prior", KEY_PAGEUP},
    {0x22, "Next", KEY_PAGEDOWN},
    {0x23, "End", KEY_END},
    {0x24, "Home", KEY_HOME},
    {0x25, "Left", KEY_LEFT},
    {0x26, "Up", KEY_UP},
    {0x27, "Right", KEY_RIGHT},
    {0x28, "Down", KEY_DOWN},
    {0x29, "Select", KEY_SELECT},
    {0x2A, "Print", KEY_PRINT},
    {0x2C, "Print", KEY_SYSRQ},
    {0x2D, "Insert", KEY_INSERT},
    {0x2E, "Delete", KEY_DELETE},
    {0x2F, "Help", KEY_HELP},
    {0x5B, "Super_L", KEY_LEFTMETA},
    {0x5C, "Super_R", KEY_RIGHTMETA},
    {0x5D, "Menu", KEY_COMPOSE},
    {0x5F, "XF86Sleep", KEY_SLEEP},
    {0x60, "KP_0", KEY_KP0},
    {0x61, "KP_1", KEY_KP1},
    {0x62, "KP_2", KEY_KP2},
    {0x63, "KP_3", KEY_KP3},
    {0x64, "KP_4", KEY_KP4},
    {0x65, "KP_5", KEY_KP5},
    {0x66, "KP_6", KEY_KP6},
    {0x67, "KP_7", KEY_KP7},
    {0x68, "KP_8", KEY_KP8},
    {0x69, "KP_9", KEY_KP9},
    {0x6A, "KP_Multiply", KEY_KPASTERISK},
    {0x6B, "KP_Add", KEY_KPPLUS},
    {0x6C, "KP_Separator", KEY_KPCOMMA},
    {0x6D, "KP_Subtract", KEY_KPMINUS},
    {0x6E, "KP_Decimal", KEY_KPDOT},
    {0x6F, "KP_Divide", KEY_KPSLASH},
    {0x90, "Num_Lock", KEY_NUMLOCK},
    {0x91, "Scroll_Lock", KEY_SCROLLLOCK},
    {0xA0, "Shift_L", KEY_LEFTSHIFT},
    {0xA1, "Shift_R", KEY_RIGHTSHIFT},
    {0xA2, "Control_L", KEY_LEFTCTRL},
    {0xA3, "Control_R", KEY_RIGHTCTRL},
    {0xA4, "Alt_L", KEY_LEFTALT},
    {0xA5, "Alt_R", KEY_RIGHTALT},
    {0xA6, "XF86Back", KEY_BACK},
    {0xA7, "XF86Forward", KEY_FORWARD},
    {0xA8, "XF86Refresh", KEY_REFRESH},
    {0xA9, "XF86Stop", KEY_STOP},
    {0xAA, "XF86Search", KEY_SEARCH},
    {0xAB, "XF86Favorites", KEY_BOOKMARKS},
    {0xAC, "XF86HomePage", KEY_HOMEPAGE},
    {0xAD, "XF86AudioMute", KEY_MUTE},
    {0xAE, "XF86AudioLowerVolume", KEY_VOLUMEDOWN},
    {0xAF, "XF86AudioRaiseVolume", KEY_VOLUMEUP},
    {0xB0, "XF86AudioNext", KEY_NEXTSONG},
    {0xB1, "XF86AudioPrev", KEY_PREVIOUSSONG},
    {0xB2, "XF86AudioStop", KEY_STOPCD},
    {0xB3, "XF86AudioPlay", KEY_PLAYPAUSE},
    {0xB4, "XF86Mail", KEY_MAIL},
    {0xB5, "XF86AudioMedia", KEY_MEDIA},
    {0xB6, "XF86MyComputer", KEY_COMPUTER},
    {0xB7, "XF86Calculator", KEY_CALC},
    {0xBA, "semicolon", KEY_SEMICOLON},
    {0xBB, "equal", KEY_EQUAL},
    {0xBC, "comma", KEY_COMMA},
    {0xBD, "minus", KEY_MINUS},
    {0xBE, "period", KEY_DOT},
    {0xBF, "slash", KEY_SLASH},
    {0xC0, "grave", KEY_GRAVE},
    {0xDB, "bracketleft", KEY_LEFTBRACE},
    {0xDC, "backslash", KEY_BACKSLASH},
    {0xDD, "bracketright", KEY_RIGHTBRACE},
    {0xDE, "apostrophe", KEY_APOSTROPHE},
    {0xE2, "less", KEY_102ND},
    {0xFA, "XF86AudioPlay", KEY_PLAY},
};

// Row by row: the evdev codes of the letter and digit keys of a US keyboard.
constexpr unsigned letters[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
constexpr unsigned digits[] = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};
constexpr unsigned functionkeys[] = {KEY_F1,  KEY_F2,  KEY_F3,  KEY_F4,  KEY_F5,  KEY_F6,  KEY_F7,  KEY_F8,
                                     KEY_F9,  KEY_F10, KEY_F11, KEY_F12, KEY_F13, KEY_F14, KEY_F15, KEY_F16,
                                     KEY_F17, KEY_F18, KEY_F19, KEY_F20, KEY_F21, KEY_F22, KEY_F23, KEY_F24};

std::string symbol(int vk) {
  if ((vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk - 'A' + 'a'));
  if (vk >= 0x70 && vk <= 0x87) return "F" + std::to_string(vk - 0x70 + 1);
  for (const waylandkey &k : keys)
    if (k.virtualkey == vk) return std::string(k.symbol);
  return {};
}

struct modifiername {
  unsigned flag;
  std::string_view name, trigger, gnome;
};
constexpr modifiername modifiers[] = {
    {hotkeyservice::control, "ctrl", "CTRL", "<Control>"},
    {hotkeyservice::alt, "alt", "ALT", "<Alt>"},
    {hotkeyservice::shift, "shift", "SHIFT", "<Shift>"},
    {hotkeyservice::win, "super", "LOGO", "<Super>"},
};
}  // namespace

std::string hotkeyname(int virtualkey, unsigned flags) {
  std::string key = symbol(virtualkey);
  if (key.empty()) return {};
  std::string out;
  for (const modifiername &m : modifiers)
    if (flags & m.flag) out.append(m.name).append("+");
  for (char &c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out + key;
}

std::string portaltrigger(int virtualkey, unsigned flags) {
  const std::string key = symbol(virtualkey);
  if (key.empty()) return {};
  std::string out;
  for (const modifiername &m : modifiers)
    if (flags & m.flag) out.append(m.trigger).append("+");
  return out + key;
}

std::string gnomebinding(int virtualkey, unsigned flags) {
  const std::string key = symbol(virtualkey);
  if (key.empty()) return {};
  std::string out;
  for (const modifiername &m : modifiers)
    if (flags & m.flag) out.append(m.gnome);
  return out + key;
}

unsigned evdevkeycode(int vk) {
  if (vk >= 'A' && vk <= 'Z') return letters[vk - 'A'];
  if (vk >= '0' && vk <= '9') return digits[vk - '0'];
  if (vk >= 0x70 && vk <= 0x87) return functionkeys[vk - 0x70];
  for (const waylandkey &k : keys)
    if (k.virtualkey == vk) return k.evdev;
  return 0;
}

unsigned textkeysym(int vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<unsigned>(vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return static_cast<unsigned>(vk);
  return 0;
}

unsigned evdevbutton(int number) {
  switch (number) {
    case 1:
      return BTN_LEFT;
    case 2:
      return BTN_MIDDLE;
    case 3:
      return BTN_RIGHT;
    case 8:
      return BTN_SIDE;
    case 9:
      return BTN_EXTRA;
  }
  return 0;
}
