#include "platform/linux/clipboardbudget.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(clipboardbudget, a_read_ends_at_its_time_and_size_whatever_each_piece_does) {
  const auto start = clipboardbudget::clock::now();
  clipboardbudget budget(start);
  // Each answer gets its own wait until the read as a whole runs out.
  EXPECT_EQ(budget.waitfor(start, 1000ms), 1000ms);
  EXPECT_EQ(budget.waitfor(start + clipboardbudget::maxtime - 300ms, 1000ms), 300ms);
  EXPECT_EQ(budget.waitfor(start + clipboardbudget::maxtime + 1h, 1000ms), 0ms);
  // Pieces of any size add up to at most maxbytes; a text too large ends the
  // read at once.
  EXPECT_TRUE(budget.fits(0, clipboardbudget::maxbytes));
  EXPECT_TRUE(budget.fits(clipboardbudget::maxbytes - 10, 10));
  EXPECT_FALSE(budget.fits(clipboardbudget::maxbytes - 10, SIZE_MAX));
  EXPECT_EQ(budget.waitfor(start, 1000ms), 0ms);
  EXPECT_FALSE(budget.fits(0, 1));
}
