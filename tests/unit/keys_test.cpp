#include <gtest/gtest.h>
// After the test framework: X.h defines macros (None) that it uses as names.
#include <X11/X.h>
#include <X11/keysym.h>

#include <set>
#include <string>

#include "automation/keytables.h"
#include "platform/hotkeyservice.h"
#include "platform/linux/x11keys.h"

TEST(keytables, virtual_keys_keep_their_order_names_and_codes) {
  const auto keys = virtualkeys();
  ASSERT_EQ(keys.size(), 173u);
  EXPECT_EQ(keys.front().name, "VK_LBUTTON");
  EXPECT_EQ(keys[16].name, "VK_HANGUEL");
  EXPECT_EQ(keys[16].value, 21);
  EXPECT_EQ(keys[43].name, "0");
  EXPECT_EQ(keys[53].name, "A");
  EXPECT_EQ(keys[78].name, "Z");
  EXPECT_EQ(keys.back().name, "VK_OEM_CLEAR");
  EXPECT_EQ(keys.back().value, 0xFE);

  std::set<std::string_view> names;
  for (const auto &k : keys) names.insert(k.name);
  EXPECT_EQ(names.size(), keys.size()) << "a name appears twice";

  EXPECT_EQ(findvirtualkey("VK_11"), 122);
  EXPECT_FALSE(findvirtualkey("VK_F11"));
  EXPECT_FALSE(findvirtualkey("F5"));
  EXPECT_FALSE(findvirtualkey("vk_f5")) << "lookup is case-sensitive";
  EXPECT_EQ(findvirtualkey("VK_F10"), 0x79);
  EXPECT_EQ(findvirtualkey("VK_F12"), 0x7B);
  EXPECT_EQ(findvirtualkey("VK_F24"), 0x87);
  EXPECT_EQ(findvirtualkey("VK_KANA"), findvirtualkey("VK_HANGUL"));
  EXPECT_EQ(findvirtualkey("9"), '9');
  EXPECT_EQ(findvirtualkey("VK_NUMPAD9"), 0x69);
  EXPECT_EQ(findvirtualkey("VK_LMENU"), 0xA4);
  EXPECT_EQ(findvirtualkey("VK_OEM_102"), 0xE2);
}

TEST(keytables, other_constants) {
  const auto other = otherconstants();
  ASSERT_EQ(other.size(), 21u);
  auto value = [&](std::string_view name) {
    for (const auto &c : other)
      if (c.name == name) return c.value;
    return -1;
  };
  EXPECT_EQ(value("SW_HIDE"), 0);
  EXPECT_EQ(value("SW_SHOW"), 5);
  EXPECT_EQ(value("SW_MAXIMIZE"), 3);
  EXPECT_EQ(value("SW_SHOWMAXIMIZED"), 3);
  EXPECT_EQ(value("SW_FORCEMINIMIZE"), 11);
  EXPECT_EQ(value("INPUT_HARDWARE"), 2);
  EXPECT_EQ(value("KEYEVENTF_KEYDOWNUP"), 3);
  EXPECT_EQ(value("ALLUSERS"), 0);
  EXPECT_EQ(value("JUSTME"), 1);
}

TEST(x11keys, virtual_keys_map_to_unshifted_keysyms) {
  EXPECT_EQ(keysymforvirtualkey('A'), XK_a);
  EXPECT_EQ(keysymforvirtualkey('Z'), XK_z);
  EXPECT_EQ(keysymforvirtualkey('7'), XK_7);
  EXPECT_EQ(keysymforvirtualkey(0x7A), XK_F11);
  EXPECT_EQ(keysymforvirtualkey(0x87), XK_F24);
  EXPECT_EQ(keysymforvirtualkey(0x0D), XK_Return);
  EXPECT_EQ(keysymforvirtualkey(0x12), XK_Alt_L);
  EXPECT_EQ(keysymforvirtualkey(0x5B), XK_Super_L);
  EXPECT_EQ(keysymforvirtualkey(0x63), XK_KP_3);
  EXPECT_EQ(keysymforvirtualkey(0xBB), XK_equal);
  // Mouse buttons and codes without a key on this desktop type nothing.
  EXPECT_EQ(keysymforvirtualkey(0x01), 0u);
  EXPECT_EQ(keysymforvirtualkey(0xE5), 0u);
  EXPECT_EQ(keysymforvirtualkey(-1), 0u);
  // Every table entry outside those ranges is handled without surprises.
  for (const auto &k : virtualkeys()) (void)keysymforvirtualkey(k.value);
}

TEST(x11keys, hotkey_grabs_cover_every_lock_combination) {
  const modifiermasks m{Mod1Mask, Mod4Mask, Mod2Mask};
  const unsigned mods = xmodifiers(hotkeyservice::control | hotkeyservice::alt | hotkeyservice::win, m);
  EXPECT_EQ(mods, unsigned(ControlMask | Mod1Mask | Mod4Mask));
  EXPECT_EQ(xmodifiers(hotkeyservice::shift, m), unsigned(ShiftMask));

  const auto variants = grabvariants(ControlMask, m);
  EXPECT_EQ(variants, (std::vector<unsigned>{ControlMask, ControlMask | LockMask, ControlMask | Mod2Mask,
                                             ControlMask | LockMask | Mod2Mask}));
  // No Num Lock on the keyboard: no duplicate grabs.
  EXPECT_EQ(grabvariants(0, modifiermasks{Mod1Mask, Mod4Mask, 0}).size(), 2u);

  EXPECT_EQ(withoutlocks(ControlMask | LockMask | Mod2Mask | Button1Mask, m), unsigned(ControlMask));
}
