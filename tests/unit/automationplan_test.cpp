#include <gtest/gtest.h>

#include <limits>

#include "automation/clipboardwait.h"
#include "automation/inputplan.h"
#include "automation/keytables.h"
#include "automation/showplan.h"
#include "automation/textlimits.h"

namespace {
std::vector<keyevent> press(int key) { return {{key, true}, {key, false}}; }

std::vector<keyevent> join(std::initializer_list<std::vector<keyevent>> parts) {
  std::vector<keyevent> out;
  for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
}  // namespace

TEST(sendstring, letters_digits_and_whitespace_without_shift) {
  EXPECT_EQ(expandsendstring("Ab1"), join({press('A'), press('B'), press('1')}));
  EXPECT_EQ(expandsendstring("a b\tc\r\n"), join({press('A'), press(vk::space), press('B'), press(vk::tab),
                                                  press('C'), press(vk::enter), press(vk::enter)}));
  EXPECT_TRUE(expandsendstring("").empty());
}

TEST(sendstring, modifier_characters_hold_their_key_around_the_next_byte) {
  EXPECT_EQ(expandsendstring("^a"),
            (std::vector<keyevent>{{vk::control, true}, {'A', true}, {'A', false}, {vk::control, false}}));
  EXPECT_EQ(expandsendstring("!x~y+z"), (std::vector<keyevent>{{vk::menu, true},
                                                               {'X', true},
                                                               {'X', false},
                                                               {vk::menu, false},
                                                               {vk::lwin, true},
                                                               {'Y', true},
                                                               {'Y', false},
                                                               {vk::lwin, false},
                                                               {vk::shift, true},
                                                               {'Z', true},
                                                               {'Z', false},
                                                               {vk::shift, false}}));
  // The byte after a modifier character is only looked up by name.
  EXPECT_TRUE(expandsendstring("+\t").empty());
  EXPECT_TRUE(expandsendstring("^ ").empty());
  EXPECT_TRUE(expandsendstring("^^").empty());
  // A trailing modifier character ends the text.
  EXPECT_EQ(expandsendstring("x+"), press('X'));
}

TEST(sendstring, bytes_without_a_key_are_skipped) {
  EXPECT_EQ(expandsendstring("a.b"), join({press('A'), press('B')}));
  EXPECT_EQ(expandsendstring("\xC3\xA9z"), press('Z'));
  EXPECT_EQ(expandsendstring(std::string("a\0b", 3)), join({press('A'), press('B')}));
}

TEST(hotkeys, modifiers_at_the_front_then_a_key_name) {
  const auto h = parsehotkey("^!VK_F5");
  ASSERT_TRUE(h);
  EXPECT_EQ(h->virtualkey, 0x74);
  EXPECT_TRUE(h->ctrl && h->alt);
  EXPECT_FALSE(h->shift || h->win);
  EXPECT_EQ(h->modifiers(), 3u);

  EXPECT_EQ(parsehotkey("VK_11")->virtualkey, 0x7A);
  EXPECT_EQ(parsehotkey("~a")->virtualkey, 'A');
  EXPECT_TRUE(parsehotkey("~a")->win);
  EXPECT_EQ(parsehotkey("+vk_f9")->virtualkey, 0x78) << "names are upper-cased";
  EXPECT_FALSE(parsehotkey("^F5")) << "F5 is not a name in the table";
  EXPECT_FALSE(parsehotkey(""));
  EXPECT_FALSE(parsehotkey("^"));
  // A repeated modifier counts once as a flag but still drops its byte.
  const auto twice = parsehotkey("^^a");
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->modifiers(), 2u);
  // Modifier characters elsewhere drop bytes from the front.
  EXPECT_FALSE(parsehotkey("VK_F5+"));
}

TEST(hotkeys, release_the_key_and_every_modifier_held) {
  hotkeyspec h{0x74, true, true, false, false};
  EXPECT_EQ(hotkeyreleases(h),
            (std::vector<keyevent>{{0x74, false}, {vk::control, false}, {vk::menu, false}}));
  h = {'A', true, true, true, true};
  EXPECT_EQ(hotkeyreleases(h), (std::vector<keyevent>{{'A', false},
                                                      {vk::control, false},
                                                      {vk::menu, false},
                                                      {vk::shift, false},
                                                      {vk::lwin, false},
                                                      {vk::rwin, false}}));
  EXPECT_EQ(hotkeyreleases(hotkeyspec{0x7A}), (std::vector<keyevent>{{0x7A, false}}));
}

TEST(sendinput, key_events_and_buttons) {
  EXPECT_EQ(keyboardinput(13, 0), (std::vector<keyevent>{{13, true}}));
  EXPECT_EQ(keyboardinput(13, 2), (std::vector<keyevent>{{13, false}}));
  EXPECT_EQ(keyboardinput(13, 3), press(13));
  EXPECT_TRUE(keyboardinput(13, 1).empty());
  EXPECT_TRUE(keyboardinput(13, -3).empty());

  EXPECT_EQ(pointerbutton(vk::lbutton), 1);
  EXPECT_EQ(pointerbutton(vk::rbutton), 3);
  EXPECT_EQ(pointerbutton(vk::mbutton), 2);
  EXPECT_EQ(pointerbutton(vk::xbutton1), 8);
  EXPECT_EQ(pointerbutton(vk::xbutton2), 0);
  EXPECT_EQ(pointerbutton('A'), 0);
}

TEST(numbers, truncate_toward_zero_and_clamp) {
  EXPECT_EQ(truncatetoint(0.9), 0);
  EXPECT_EQ(truncatetoint(-2.7), -2);
  EXPECT_EQ(truncatetoint(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(truncatetoint(-1e300), std::numeric_limits<int>::min());
  EXPECT_EQ(truncatetoint(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(sleepmilliseconds(60000), 10000);
  EXPECT_EQ(sleepmilliseconds(-5), 0);
  EXPECT_EQ(sleepmilliseconds(250.9), 250);
}

TEST(clipboardwait, polls_every_100ms_up_to_the_limit) {
  std::vector<int> reads;
  int clock = 0;
  auto sleep = [&](int ms) { clock += ms; };
  auto empty = [&] {
    reads.push_back(clock);
    return std::string();
  };
  EXPECT_EQ(waitforclipboard(250, empty, sleep), "");
  EXPECT_EQ(reads, (std::vector<int>{0, 100, 200}));
  EXPECT_EQ(clock, 300);

  reads.clear();
  clock = 0;
  EXPECT_EQ(waitforclipboard(0, empty, sleep), "");
  EXPECT_EQ(reads, (std::vector<int>{0}));
  EXPECT_EQ(clock, 0) << "no wait at all";

  reads.clear();
  clock = 0;
  waitforclipboard(60000, empty, sleep);
  EXPECT_EQ(reads.size(), 100u) << "capped at 10000 ms";

  clock = 0;
  auto later = [&] { return clock >= 300 ? std::string("text") : std::string(); };
  EXPECT_EQ(waitforclipboard(1000, later, sleep), "text");
  EXPECT_EQ(clock, 300) << "returns at the first text";
}

TEST(showplan, show_commands) {
  using vis = showrequest::visibility;
  using max = showrequest::maximized;
  EXPECT_EQ(showplan(0)->shown, vis::hide);
  EXPECT_EQ(showplan(5)->shown, vis::show);
  EXPECT_TRUE(showplan(5)->activate);
  EXPECT_EQ(showplan(5)->maximize, max::keep);
  EXPECT_EQ(showplan(3)->maximize, max::set);
  EXPECT_EQ(showplan(9)->maximize, max::clear);
  EXPECT_FALSE(showplan(8)->activate);
  EXPECT_FALSE(showplan(4)->activate);
  for (int minimise : {2, 6, 7, 11}) EXPECT_EQ(showplan(minimise)->shown, vis::minimize);
  EXPECT_FALSE(showplan(12));
  EXPECT_FALSE(showplan(-1));
}

TEST(textlimits, cuts_never_split_a_character) {
  EXPECT_EQ(cututf16(std::string(300, 'x'), 254), std::string(254, 'x'));
  EXPECT_EQ(cututf16("ab", 254), "ab");
  // U+00E9 is one unit, U+1F600 two.
  EXPECT_EQ(cututf16("\xC3\xA9\xC3\xA9", 1), "\xC3\xA9");
  EXPECT_EQ(cututf16("a\xF0\x9F\x98\x80", 2), "a");
  EXPECT_EQ(cututf16("a\xF0\x9F\x98\x80", 3), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(cututf16("\xFF\xFEz", 2), "\xFF\xFE") << "invalid bytes count one unit each";

  EXPECT_EQ(cututf8("abc", 2), "ab");
  EXPECT_EQ(cututf8("a\xC3\xA9", 2), "a");
  EXPECT_EQ(cututf8("a\xC3\xA9", 3), "a\xC3\xA9");
  EXPECT_EQ(cututf8("\xFF\xFF\xFF", 2), "\xFF\xFF");

  EXPECT_EQ(describeerror("boom", true, "string"), "boom");
  EXPECT_EQ(describeerror("", false, "table"), "(error object is a table value)");
}
