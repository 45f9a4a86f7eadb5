#include "platform/linux/x11keys.h"

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <algorithm>

#include "platform/hotkeyservice.h"

unsigned long keysymforvirtualkey(int vk) {
  if (vk >= '0' && vk <= '9') return XK_0 + static_cast<unsigned long>(vk - '0');
  if (vk >= 'A' && vk <= 'Z') return XK_a + static_cast<unsigned long>(vk - 'A');
  if (vk >= 0x60 && vk <= 0x69) return XK_KP_0 + static_cast<unsigned long>(vk - 0x60);
  if (vk >= 0x70 && vk <= 0x87) return XK_F1 + static_cast<unsigned long>(vk - 0x70);
  switch (vk) {
    case 0x03: return XK_Cancel;
    case 0x08: return XK_BackSpace;
    case 0x09: return XK_Tab;
    case 0x0C: return XK_Clear;
    case 0x0D: return XK_Return;
    case 0x10: return XK_Shift_L;
    case 0x11: return XK_Control_L;
    case 0x12: return XK_Alt_L;
    case 0x13: return XK_Pause;
    case 0x14: return XK_Caps_Lock;
    case 0x15: return XK_Hangul;
    case 0x19: return XK_Hangul_Hanja;
    case 0x1B: return XK_Escape;
    case 0x1C: return XK_Henkan;
    case 0x1D: return XK_Muhenkan;
    case 0x1F: return XK_Mode_switch;
    case 0x20: return XK_space;
    case 0x21: return XK_Prior;
    case 0x22: return XK_Next;
    case 0x23: return XK_End;
    case 0x24: return XK_Home;
    case 0x25: return XK_Left;
    case 0x26: return XK_Up;
    case 0x27: return XK_Right;
    case 0x28: return XK_Down;
    case 0x29: return XK_Select;
    case 0x2A: return XK_Print;
    case 0x2B: return XK_Execute;
    case 0x2C: return XK_Print;
    case 0x2D: return XK_Insert;
    case 0x2E: return XK_Delete;
    case 0x2F: return XK_Help;
    case 0x5B: return XK_Super_L;
    case 0x5C: return XK_Super_R;
    case 0x5D: return XK_Menu;
    case 0x5F: return XF86XK_Sleep;
    case 0x6A: return XK_KP_Multiply;
    case 0x6B: return XK_KP_Add;
    case 0x6C: return XK_KP_Separator;
    case 0x6D: return XK_KP_Subtract;
    case 0x6E: return XK_KP_Decimal;
    case 0x6F: return XK_KP_Divide;
    case 0x90: return XK_Num_Lock;
    case 0x91: return XK_Scroll_Lock;
    case 0xA0: return XK_Shift_L;
    case 0xA1: return XK_Shift_R;
    case 0xA2: return XK_Control_L;
    case 0xA3: return XK_Control_R;
    case 0xA4: return XK_Alt_L;
    case 0xA5: return XK_Alt_R;
    case 0xA6: return XF86XK_Back;
    case 0xA7: return XF86XK_Forward;
    case 0xA8: return XF86XK_Refresh;
    case 0xA9: return XF86XK_Stop;
    case 0xAA: return XF86XK_Search;
    case 0xAB: return XF86XK_Favorites;
    case 0xAC: return XF86XK_HomePage;
    case 0xAD: return XF86XK_AudioMute;
    case 0xAE: return XF86XK_AudioLowerVolume;
    case 0xAF: return XF86XK_AudioRaiseVolume;
    case 0xB0: return XF86XK_AudioNext;
    case 0xB1: return XF86XK_AudioPrev;
    case 0xB2: return XF86XK_AudioStop;
    case 0xB3: return XF86XK_AudioPlay;
    case 0xB4: return XF86XK_Mail;
    case 0xB5: return XF86XK_AudioMedia;
    case 0xB6: return XF86XK_MyComputer;
    case 0xB7: return XF86XK_Calculator;
    case 0xBA: return XK_semicolon;
    case 0xBB: return XK_equal;
    case 0xBC: return XK_comma;
    case 0xBD: return XK_minus;
    case 0xBE: return XK_period;
    case 0xBF: return XK_slash;
    case 0xC0: return XK_grave;
    case 0xDB: return XK_bracketleft;
    case 0xDC: return XK_backslash;
    case 0xDD: return XK_bracketright;
    case 0xDE: return XK_apostrophe;
    case 0xE2: return XK_less;
    case 0xFA: return XF86XK_AudioPlay;
    default: return 0;
  }
}

unsigned xmodifiers(unsigned flags, const modifiermasks &m) {
  unsigned mods = 0;
  if (flags & hotkeyservice::alt) mods |= m.alt;
  if (flags & hotkeyservice::control) mods |= ControlMask;
  if (flags & hotkeyservice::shift) mods |= ShiftMask;
  if (flags & hotkeyservice::win) mods |= m.super;
  return mods;
}

std::vector<unsigned> grabvariants(unsigned xmods, const modifiermasks &m) {
  std::vector<unsigned> out;
  for (const unsigned extra : {0u, unsigned(LockMask), m.numlock, unsigned(LockMask) | m.numlock}) {
    const unsigned v = xmods | extra;
    if (std::find(out.begin(), out.end(), v) == out.end()) out.push_back(v);
  }
  return out;
}

unsigned withoutlocks(unsigned state, const modifiermasks &m) {
  return state & ~(unsigned(LockMask) | m.numlock) & 0xFFu;
}
