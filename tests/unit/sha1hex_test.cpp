#include "common/sha1hex.h"

#include <gtest/gtest.h>

// The digest's bytes are reversed inside each 4-byte group: the common digest
// text of "abc" begins a9993e36, its name begins 363e99a9.
TEST(sha1hex, names_reverse_each_group_of_the_digest) {
  EXPECT_EQ(sha1hex("abc"), "363e99a96a81064771253eba6cc250789dd8d09c");
  EXPECT_EQ(sha1hex(""), "eea339da0d4b6b5eefbf5532901860950907d8af");
  // Digest 2fd4e1c6 7a2d28fc ed849ee1 bb76e739 1b93eb12.
  EXPECT_EQ(sha1hex("The quick brown fox jumps over the lazy dog"),
            "c6e1d42ffc282d7ae19e84ed39e776bb12eb931b");
  // Many blocks: digest 34aa973c d4c4daa4 f61eeb2b dbad2731 6534016f.
  EXPECT_EQ(sha1hex(std::string(1000000, 'a')), "3c97aa34a4dac4d42beb1ef63127addb6f013465");
}
