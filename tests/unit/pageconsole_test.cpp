// Page console messages as debug-output lines: one line each, read back exactly.
#include "browser/pageconsole.h"

#include <gtest/gtest.h>

namespace {

TEST(pageconsole, level_prefix_and_escaped_message) {
  EXPECT_EQ(consoledebugline(consolelevel::info, "%c[JsSIP Debug] Logging enabled color: green"),
            "console: %c[JsSIP Debug] Logging enabled color: green");
  EXPECT_EQ(consoledebugline(consolelevel::warning, "w"), "console warning: w");
  EXPECT_EQ(consoledebugline(consolelevel::error, ""), "console error: ");
  EXPECT_EQ(consoledebugline(consolelevel::info, "LOCAL SDP:\nv=0\r\n\ta\\b"),
            "console: LOCAL SDP:\\nv=0\\r\\n\ta\\\\b");
  EXPECT_EQ(consoledebugline(consolelevel::info, std::string("\x00\x1b\x7fü", 5)),
            "console: \\x00\\x1b\\x7fü");
}

}  // namespace
