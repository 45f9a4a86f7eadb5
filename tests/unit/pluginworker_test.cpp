// threads
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "plugins/callerpoll.h"
#include "plugins/qxp.h"
#include "plugintest.h"
#include "protocol/relayframe.h"

using answers = std::vector<std::pair<std::string, std::string>>;
using lines = std::vector<std::string>;

namespace {

qxpenv envfor(pagerecorder &page, const scratchdir &dir, std::string relay = MODRELAY) {
  qxpenv env;
  env.send = [&page](pagemessage m) { page(std::move(m)); };
  env.relaypath = std::move(relay);
  env.socketdir = dir.dir;
  return env;
}

// Queues one call and waits for its answer (the page's next message).
std::pair<std::string, std::string> callandwait(qxp &plugin, pagerecorder &page, const std::string &tag,
                                                const std::string &fn, const std::string &data) {
  const std::size_t before = page.received().size();
  plugin.call(tag, fn, data);
  const auto got = answersof(page.waitfor(before + 1));
  if (got.size() != before + 1) return {"no answer to " + tag, ""};
  return got.back();
}

// Waits until the plugin has logged `line`.
bool waitforlog(const std::string &library, const std::string &line) {
  for (int i = 0; i < 1000; ++i) {
    for (const std::string &l : pluginlog(library))
      if (l == line) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::string script(const scratchdir &dir, const std::string &name, const std::string &body) {
  const std::string path = dir.path(name);
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  ::chmod(path.c_str(), 0755);
  return path;
}

// Socket directories left in the scratch directory.
int leftoversockets(const scratchdir &dir) {
  int n = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir.dir))
    if (entry.path().filename().string().rfind("orva.plugins.v1.", 0) == 0) ++n;
  return n;
}

}  // namespace

TEST(qxpinprocess, ini_first_then_waiting_calls_newest_first) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN64, "p64");
  qxp plugin(1);
  plugin.call("1", "echo", "a");
  plugin.call("2", "echo", "b");
  plugin.call("3", "echo", "c");
  plugin.start(lib, envfor(page, dir));
  EXPECT_EQ(answersof(page.waitfor(3)), (answers{{"3", "c"}, {"2", "b"}, {"1", "a"}}));

  EXPECT_EQ(callandwait(plugin, page, "4", "null", "x"), std::make_pair(std::string("4"), std::string()));
  EXPECT_EQ(callandwait(plugin, page, "5", "other", "x y"), std::make_pair(std::string("5"), std::string("other:x y")));
  plugin.fini();
  plugin.join();
  EXPECT_EQ(pluginlog(lib), (lines{"ini|", "echo|c", "echo|b", "echo|a", "null|x", "other|x y", "fini|"}));
}

TEST(qxpinprocess, stop_is_taken_before_calls_still_waiting) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN64, "p64");
  qxp plugin(1);
  plugin.call("1", "slow", "300");
  plugin.start(lib, envfor(page, dir));
  ASSERT_TRUE(waitforlog(lib, "slow|300"));
  plugin.call("2", "echo", "never");
  plugin.call("3", "echo", "never");
  plugin.fini();
  plugin.join();
  EXPECT_EQ(pluginlog(lib), (lines{"ini|", "slow|300", "fini|"}));
  EXPECT_EQ(answersof(page.received()), (answers{{"1", "slept"}}));
}

// With `deliver`, a call given to an idle in-process worker is answered to
// the calling thread before call() returns; one the worker does not answer
// within the wait goes through the page sink as any other. Nothing is
// answered twice, and the calls after a slow one meet again.
TEST(qxpinprocess, the_caller_delivers_a_quick_answer_itself_and_leaves_a_slow_one_to_the_worker) {
  scratchdir dir;
  pagerecorder page;
  std::vector<pagemessage> delivered;
  const std::string lib = dir.copyplugin(TESTPLUGIN64, "p64");
  qxp plugin(1);
  qxpenv env = envfor(page, dir);
  env.deliver = [&delivered](pagemessage m) { delivered.push_back(std::move(m)); };
  env.meetwait = std::chrono::milliseconds(500);
  plugin.start(lib, env);
  ASSERT_TRUE(waitforlog(lib, "ini|"));
  for (int i = 0; i < 20 && delivered.empty(); ++i) {
    const std::size_t sent = page.received().size();
    plugin.call("warm", "echo", "w");
    if (delivered.empty()) page.waitfor(sent + 1);
  }
  ASSERT_FALSE(delivered.empty());
  delivered.clear();
  const std::size_t sent = page.received().size();

  plugin.call("1", "echo", "a");
  plugin.call("2", "slow", "800");
  EXPECT_EQ(answersof(delivered), (answers{{"1", "a"}}));
  EXPECT_EQ(answersof(page.waitfor(sent + 1)).back(), answers::value_type("2", "slept"));
  plugin.call("3", "echo", "b");
  EXPECT_EQ(answersof(delivered), (answers{{"1", "a"}, {"3", "b"}}));
  EXPECT_EQ(page.received().size(), sent + 1);
  plugin.fini();
  plugin.join();
}

TEST(qxprelayed, calls_travel_through_modrelay_as_name_bar_argument) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  qxp plugin(1);
  plugin.start(lib, envfor(page, dir));

  using answer = std::pair<std::string, std::string>;
  EXPECT_EQ(callandwait(plugin, page, "1", "echo", "hello"), answer("1", "hello"));
  // The name is cut at its first "|"; the rest joins the argument text.
  EXPECT_EQ(callandwait(plugin, page, "2", "a|b", "c"), answer("2", "a:b|c"));
  EXPECT_EQ(callandwait(plugin, page, "3", "", "d"), answer("3", ":d"));
  // Texts end at their first NUL.
  EXPECT_EQ(callandwait(plugin, page, "4", std::string("echo\0zz", 7), std::string("hi\0there", 8)), answer("4", "hi"));
  EXPECT_EQ(callandwait(plugin, page, "5", "null", ""), answer("5", ""));
  // A call named "fini" ends the relay; later calls are answered empty.
  EXPECT_EQ(callandwait(plugin, page, "6", "fini", "ignored"), answer("6", "ok"));
  EXPECT_EQ(callandwait(plugin, page, "7", "echo", "gone"), answer("7", ""));
  plugin.fini();
  plugin.join();

  EXPECT_EQ(pluginlog(lib), (lines{"ini|", "ini|", "echo|hello", "a|b|c", "|d", "echo|hi", "null|", "fini|"}));
  EXPECT_EQ(leftoversockets(dir), 0);
}

// With a watch, the calling thread reads the answers of calls it wrote to
// an idle relay; calls made meanwhile wait for the worker (newest first, as
// queued calls always are) and are answered after it.
TEST(qxprelayed, answers_read_by_the_calling_thread_keep_their_order_and_a_crash_is_answered_empty) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  callerpoll loop;
  qxp plugin(1);
  qxpenv env = envfor(page, dir);
  env.watch = loop.watcher();
  // Answers are left to the watch, so that calls queue behind the one sent.
  env.meetwait = {};
  plugin.start(lib, env);
  auto answered = [&](std::size_t n) {
    for (int i = 0; i < 1000 && page.received().size() < n; ++i)
      if (!loop.runonce(10)) page.waitfor(n, std::chrono::milliseconds(10));
    return answersof(page.received());
  };
  ASSERT_EQ(answered(0).size(), 0u);
  plugin.call("1", "echo", "first");
  ASSERT_EQ(answered(1), (answers{{"1", "first"}}));
  plugin.call("2", "echo", "a");
  plugin.call("3", "echo", "b");
  plugin.call("4", "echo", "c");
  EXPECT_EQ(answered(4), (answers{{"1", "first"}, {"2", "a"}, {"4", "c"}, {"3", "b"}}));
  plugin.call("5", "crash", "");
  plugin.call("6", "echo", "after");
  EXPECT_EQ(answered(6).back(), answers::value_type("6", ""));
  EXPECT_EQ(answered(6)[4], answers::value_type("5", ""));
  plugin.fini();
  plugin.join();
}

// A relayed call's answer is met by call() itself and delivered on the
// calling thread; one slower than the wait is delivered by the watch.
TEST(qxprelayed, the_caller_meets_a_quick_answer_and_the_watch_delivers_a_slow_one) {
  scratchdir dir;
  pagerecorder page;
  std::vector<pagemessage> delivered;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  callerpoll loop;
  qxp plugin(1);
  qxpenv env = envfor(page, dir);
  env.watch = loop.watcher();
  env.deliver = [&delivered](pagemessage m) { delivered.push_back(std::move(m)); };
  env.meetwait = std::chrono::milliseconds(100);
  plugin.start(lib, env);
  ASSERT_TRUE(waitforlog(lib, "ini|"));
  // The first calls may go to the worker, before the relay is made direct.
  for (int i = 0; i < 20 && delivered.empty(); ++i) {
    const std::size_t sent = page.received().size();
    plugin.call("warm", "echo", "w");
    if (delivered.empty() && !loop.runonce(1000)) page.waitfor(sent + 1);
  }
  ASSERT_FALSE(delivered.empty());
  delivered.clear();
  const std::size_t sent = page.received().size();

  plugin.call("1", "slow", "300");
  EXPECT_TRUE(delivered.empty());
  for (int i = 0; i < 100 && delivered.empty(); ++i) loop.runonce(100);
  plugin.call("2", "echo", "a");
  EXPECT_EQ(answersof(delivered), (answers{{"1", "slept"}, {"2", "a"}}));
  EXPECT_EQ(page.received().size(), sent);
  plugin.fini();
  plugin.join();
}

TEST(qxprelayed, stop_sends_fini_to_the_plugin) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  qxp plugin(1);
  plugin.start(lib, envfor(page, dir));
  EXPECT_EQ(callandwait(plugin, page, "1", "echo", "x").second, "x");
  plugin.fini();
  plugin.join();
  EXPECT_TRUE(waitforlog(lib, "fini|"));
}

TEST(qxprelayed, a_crashing_relay_answers_empty_and_the_program_lives_on) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  qxp plugin(1);
  plugin.start(lib, envfor(page, dir));
  EXPECT_EQ(callandwait(plugin, page, "1", "echo", "before").second, "before");
  EXPECT_EQ(callandwait(plugin, page, "2", "crash", ""), std::make_pair(std::string("2"), std::string()));
  EXPECT_EQ(callandwait(plugin, page, "3", "echo", "after"), std::make_pair(std::string("3"), std::string()));
  plugin.fini();
  plugin.join();
}

TEST(qxprelayed, a_call_too_large_for_the_relay_is_answered_empty_and_logged_data_is_escaped) {
  scratchdir dir;
  pagerecorder page;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  qxp plugin(1);
  plugin.start(lib, envfor(page, dir));
  using answer = std::pair<std::string, std::string>;
  testing::internal::CaptureStderr();
  EXPECT_EQ(callandwait(plugin, page, "1", "echo", std::string(maxrelaymsg, 'x')), answer("1", ""));
  // The plugin still answers, and its data cannot forge a debug line.
  const std::string forged = "a\nqxp::runthroughpipe got msg\n\x1b[31mred";
  EXPECT_EQ(callandwait(plugin, page, "2", "echo", forged), answer("2", forged));
  plugin.fini();
  plugin.join();
  const std::string debug = testing::internal::GetCapturedStderr();
  EXPECT_NE(debug.find("qxp::runthroughpipe got msg\na\\x0aqxp::runthroughpipe got msg\\x0a\\x1b[31mred\n"),
            std::string::npos)
      << debug;
  ASSERT_GE(pluginlog(lib).size(), 3u);
  EXPECT_EQ(pluginlog(lib)[2], "echo|a") << "the large call never reached the plugin";
}

TEST(qxprelayed, two_relays_started_together_each_serve_their_own_plugin) {
  scratchdir dir;
  pagerecorder page;
  const std::string one = dir.copyplugin(TESTPLUGIN32, "one");
  const std::string two = dir.copyplugin(TESTPLUGIN32, "two");
  qxp first(1), second(2);
  first.call("1", "echo", "for one");
  second.call("2", "echo", "for two");
  first.start(one, envfor(page, dir));
  second.start(two, envfor(page, dir));
  auto got = answersof(page.waitfor(2));
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (answers{{"1", "for one"}, {"2", "for two"}}));
  first.fini();
  second.fini();
  first.join();
  second.join();
  EXPECT_EQ(pluginlog(one)[2], "echo|for one");
  EXPECT_EQ(pluginlog(two)[2], "echo|for two");
}

TEST(qxprelayed, failed_starts_are_reported_on_the_debug_output_and_leave_calls_unanswered) {
  scratchdir dir;
  const std::string lib = dir.copyplugin(TESTPLUGIN32, "p32");
  std::ofstream(dir.path("notalibrary")) << "plain text";
  struct attempt {
    std::string library, relay, expected;
  };
  const attempt attempts[] = {
      {lib, dir.path("no-such-modrelay"), "qxp::runthroughpipe failed to launch bridge"},
      {lib, script(dir, "quick", "exit 9"), "Child exited quickly with code 9"},
      {lib, script(dir, "late", "sleep 0.5; exit 7"),
       "qxp::runthroughpipe bridge exited with code 7 before connecting"},
      {lib, script(dir, "mute", "exec sleep 30"), "qxp::runthroughpipe pipe didn't connect"},
      {dir.path("notalibrary"), MODRELAY, "Not a valid PE file; the plugin is neither loaded nor bridged"},
  };
  for (const attempt &a : attempts) {
    pagerecorder page;
    qxpenv env = envfor(page, dir, a.relay);
    env.connectwait = std::chrono::milliseconds(1000);
    testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    {
      qxp plugin(1);
      plugin.call("1", "echo", "x");
      plugin.start(a.library, env);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      plugin.call("2", "echo", "y");
    }  // stops and joins
    const std::string debug = testing::internal::GetCapturedStderr();
    EXPECT_NE(debug.find(a.expected), std::string::npos) << a.expected << "\n" << debug;
    EXPECT_TRUE(page.received().empty()) << a.expected;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << a.expected;
  }
  EXPECT_EQ(leftoversockets(dir), 0);
}

TEST(qxp, the_file_opened_is_served_even_when_its_name_now_leads_elsewhere) {
  scratchdir dir;
  for (const char *library : {TESTPLUGIN64, TESTPLUGIN32}) {
    pagerecorder page;
    const std::string lib = dir.copyplugin(library, "plugin");
    pluginfile opened{ownedfd(::open(lib.c_str(), O_RDONLY | O_CLOEXEC)), lib};
    // Swapped after it was opened (and checked): another file takes the name.
    std::ofstream(dir.path("swapped")) << "not a library";
    std::filesystem::rename(dir.path("swapped"), lib);
    qxp plugin(1);
    plugin.start(std::move(opened), envfor(page, dir));
    EXPECT_EQ(callandwait(plugin, page, "1", "echo", "original").second, "original") << library;
    plugin.fini();
    plugin.join();
  }
}

TEST(qxpinprocess, once_closed_a_busy_plugin_answers_nobody_and_is_called_no_more) {
  scratchdir dir;
  const std::string lib = dir.copyplugin(TESTPLUGIN64, "p64");
  // The page's end is gone once the plugin is closed, as at the end of the
  // program: an answer delivered to it would use freed memory.
  pagerecorder unused;
  auto *gone = new std::vector<pagemessage>;
  qxpenv env = envfor(unused, dir);
  env.send = [gone](pagemessage m) { gone->push_back(std::move(m)); };
  qxp plugin(1);
  plugin.call("1", "slow", "300");
  plugin.start(lib, env);
  ASSERT_TRUE(waitforlog(lib, "slow|300"));
  plugin.call("2", "echo", "never");
  plugin.fini();
  plugin.close();
  delete gone;
  plugin.join();
  EXPECT_EQ(pluginlog(lib), (lines{"ini|", "slow|300"}));
}
