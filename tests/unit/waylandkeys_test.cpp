#include "platform/wayland/waylandkeys.h"

#include <gtest/gtest.h>

#include "platform/hotkeyservice.h"

// One hotkey named three ways: the desktop's remembered assignment is found
// by the name, so it must not depend on anything but the keys.
TEST(waylandkeys, hotkeys_are_named_for_the_portal_and_gnome) {
  const unsigned ctrlshift = hotkeyservice::control | hotkeyservice::shift;
  EXPECT_EQ(hotkeyname('D', ctrlshift), "ctrl+shift+d");
  EXPECT_EQ(portaltrigger('D', ctrlshift), "CTRL+SHIFT+d");
  EXPECT_EQ(gnomebinding('D', ctrlshift), "<Control><Shift>d");
  const unsigned all = hotkeyservice::win | hotkeyservice::alt | hotkeyservice::control;
  EXPECT_EQ(hotkeyname(0x74, all), "ctrl+alt+super+f5");
  EXPECT_EQ(portaltrigger(0x74, all), "CTRL+ALT+LOGO+F5");
  EXPECT_EQ(gnomebinding(0xBD, hotkeyservice::alt), "<Alt>minus");
  EXPECT_EQ(hotkeyname(0x7A, 0), "f11");
  // A key without a symbol (a mouse button) has no name and cannot be bound.
  EXPECT_EQ(hotkeyname(0x01, hotkeyservice::control), "");
  EXPECT_EQ(gnomebinding(0x01, 0), "");
}

TEST(waylandkeys, keys_map_to_evdev_codes_and_text_keysyms) {
  EXPECT_EQ(evdevkeycode('A'), 30u);
  EXPECT_EQ(evdevkeycode('Q'), 16u);
  EXPECT_EQ(evdevkeycode('0'), 11u);
  EXPECT_EQ(evdevkeycode('1'), 2u);
  EXPECT_EQ(evdevkeycode(0x0D), 28u);  // Enter
  EXPECT_EQ(evdevkeycode(0x11), 29u);  // Ctrl
  EXPECT_EQ(evdevkeycode(0x7B), 88u);  // F12
  EXPECT_EQ(evdevkeycode(0x7A), 87u);  // F11
  EXPECT_EQ(evdevkeycode(0x01), 0u);   // mouse button: no key
  EXPECT_EQ(textkeysym('A'), unsigned('a'));
  EXPECT_EQ(textkeysym('7'), unsigned('7'));
  EXPECT_EQ(textkeysym(0x0D), 0u);
  EXPECT_EQ(evdevbutton(1), 0x110u);
  EXPECT_EQ(evdevbutton(3), 0x111u);
  EXPECT_EQ(evdevbutton(4), 0u);
}
