#pragma once

#include <vector>

// Decisions for keys on X11, free of any display connection.

// The keysym a virtual-key code types (the unshifted symbol for letters and
// the punctuation keys); 0 when the code has no key here (mouse buttons, IME
// and OEM-specific codes).
unsigned long keysymforvirtualkey(int virtualkey);

// The X modifier masks of the four hotkey modifiers and of the lock keys on
// the current keyboard (Alt and Super move between Mod1..Mod5).
struct modifiermasks {
  unsigned alt = 0;
  unsigned super = 0;
  unsigned numlock = 0;
};

// The X modifier state of a hotkey's flags (hotkeyservice::alt ...).
unsigned xmodifiers(unsigned hotkeyflags, const modifiermasks &m);

// A grab for every combination of Caps Lock and Num Lock, so that the hotkey
// fires whatever lock is on.
std::vector<unsigned> grabvariants(unsigned xmods, const modifiermasks &m);

// The state of a key event with the lock keys removed, to compare with a grab.
unsigned withoutlocks(unsigned state, const modifiermasks &m);
