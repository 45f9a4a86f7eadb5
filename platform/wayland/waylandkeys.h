#pragma once

#include <string>

// Decisions for keys on Wayland desktops, free of any display connection.

// The name a hotkey is known by on the desktop (portal shortcut id, desktop
// keybinding): its modifiers in a fixed order, then the key's symbol, lower
// case, joined by '+': "ctrl+shift+d", "alt+f5". Made from the keys alone,
// so that the desktop's remembered assignment survives script edits. Empty
// when the key has no symbol.
std::string hotkeyname(int virtualkey, unsigned modifiers);

// The trigger the program proposes for a portal shortcut: "CTRL+SHIFT+d",
// "LOGO+F5"; empty when the key has no symbol.
std::string portaltrigger(int virtualkey, unsigned modifiers);

// A GNOME accelerator: "<Control><Shift>d"; empty when the key has no symbol.
std::string gnomebinding(int virtualkey, unsigned modifiers);

// The Linux input event code (evdev) of a virtual key; 0 when there is none.
unsigned evdevkeycode(int virtualkey);

// The keysym letters and digits are typed as (so that they come out of the
// desktop's own layout); 0 for every other key, which goes as a keycode.
unsigned textkeysym(int virtualkey);

// The evdev code of a pointer button (1 left, 2 middle, 3 right, 8 and 9
// the extra buttons); 0 for other numbers.
unsigned evdevbutton(int number);
