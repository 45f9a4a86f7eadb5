#include "browser/pagerecovery.h"

#include <gtest/gtest.h>

using std::chrono::milliseconds;

TEST(pagerecovery, outages_are_retried_other_failures_are_shown) {
  const auto what = [](loaderrordomain d, int code) { return classifyloadfailure(d, code, "net::ERR").what; };
  using enum loadfailure::action;
  EXPECT_EQ(what(loaderrordomain::connection, -102), retry);  // refused
  EXPECT_EQ(what(loaderrordomain::connection, -105), retry);  // name not resolved
  EXPECT_EQ(what(loaderrordomain::dns, -800), retry);
  EXPECT_EQ(what(loaderrordomain::internal, -7), retry);  // timed out
  EXPECT_EQ(what(loaderrordomain::http, -324), retry);    // empty response
  const loadfailure busy = classifyloadfailure(loaderrordomain::httpstatus, 503, "");
  EXPECT_EQ(busy.what, retry);
  EXPECT_EQ(busy.reason, "the service answered with status 503");

  EXPECT_EQ(what(loaderrordomain::httpstatus, 404), leave);
  EXPECT_EQ(what(loaderrordomain::internal, -3), replaced);
  EXPECT_EQ(what(loaderrordomain::certificate, -202), showerror);
}

TEST(pagerecovery, the_wait_doubles_from_two_seconds_to_a_minute_and_jitter_only_shortens_it) {
  EXPECT_EQ(retrydelay(0, 0), milliseconds(2000));
  EXPECT_EQ(retrydelay(1, 0), milliseconds(4000));
  EXPECT_EQ(retrydelay(4, 0), milliseconds(32000));
  EXPECT_EQ(retrydelay(5, 0), milliseconds(60000));
  EXPECT_EQ(retrydelay(1000, 0), milliseconds(60000));
  EXPECT_EQ(retrydelay(0, 0.999), milliseconds(1500));
  EXPECT_GE(retrydelay(1000, 0.999), milliseconds(45000));
}

TEST(pagerecovery, only_a_change_from_offline_to_online_is_the_network_returning) {
  using enum networkreach;
  EXPECT_TRUE(networkreturned(offline, online));
  // A backend's first report is the state it found, not a change.
  EXPECT_FALSE(networkreturned(unknown, online));
  EXPECT_FALSE(networkreturned(online, online));
  EXPECT_FALSE(networkreturned(online, offline));
}

TEST(pagerecovery, a_renderer_that_keeps_ending_is_reloaded_five_times_in_two_minutes) {
  rendererrestarts restarts;
  const auto t0 = rendererrestarts::clock::now();
  EXPECT_EQ(restarts.onended(t0, 0), milliseconds(0));
  EXPECT_EQ(restarts.onended(t0 + std::chrono::seconds(1), 0), milliseconds(2000));
  EXPECT_EQ(restarts.onended(t0 + std::chrono::seconds(4), 0), milliseconds(4000));
  EXPECT_EQ(restarts.onended(t0 + std::chrono::seconds(9), 0), milliseconds(8000));
  EXPECT_EQ(restarts.onended(t0 + std::chrono::seconds(18), 0), milliseconds(16000));
  EXPECT_EQ(restarts.onended(t0 + std::chrono::seconds(40), 0), std::nullopt);
  // Once the first reload is two minutes old, one more is allowed.
  EXPECT_EQ(restarts.onended(t0 + std::chrono::seconds(120), 0), milliseconds(16000));
}
