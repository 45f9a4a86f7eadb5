// threads
#include "plugins/pluginhost.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/sha1hex.h"
#include "plugintest.h"
#include "signtool.h"

namespace {

// Records download requests; the test completes them.
struct fakedownloads {
  struct request {
    std::string name, url;
    downloadcompletion done;
  };
  std::vector<request> requests;
  downloader make() {
    return [this](const std::string &name, const std::string &url, downloadcompletion done) {
      requests.push_back({name, url, std::move(done)});
    };
  }
};

// The registry, with its workers stopped and joined at the end, so that
// releasing it destroys every plugin.
struct registry {
  pluginregistry plugins;
  ~registry() {
    finiplugins(plugins);
    for (auto &[name, plugin] : plugins) plugin->join();
  }
};

qxpenv envfor(pagerecorder &page, const scratchdir &dir) {
  qxpenv env;
  env.send = [&page](pagemessage m) { page(std::move(m)); };
  env.relaypath = MODRELAY;
  env.socketdir = dir.dir;
  return env;
}

std::vector<std::pair<std::string, int>> loadsof(const std::vector<pagemessage> &messages) {
  std::vector<std::pair<std::string, int>> loads;
  for (const pagemessage &m : messages)
    if (m.name == "qxpLoaded") loads.emplace_back(m.getstring(0), m.getint(1));
  return loads;
}

using loads = std::vector<std::pair<std::string, int>>;

// Plugins of the test's service origin, unsigned.
const pluginpolicy policy{"http://h", {}};
using answers = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST(pluginhost, calls_that_cannot_be_made_are_answered_empty_at_once) {
  scratchdir dir;
  pagerecorder page;
  registry reg;
  fakedownloads downloads;
  pluginhost host(reg.plugins, envfor(page, dir), downloads.make(), policy);
  host.makeqxpcall(1, "echo", "x", "7");
  EXPECT_EQ(answersof(page.received()), (answers{{"7", ""}}));

  host.loadqxp("http://h/a.qxp", "1");
  host.makeqxpcall(-1, "echo", "x", "8");
  host.makeqxpcall(2, "echo", "x", "9");
  EXPECT_EQ(answersof(page.received()), (answers{{"7", ""}, {"8", ""}, {"9", ""}}));

  // Plugin 1 has not started: its calls wait, up to the store's capacity.
  for (std::size_t i = 0; i < qxp::capacity; ++i) host.makeqxpcall(1, "echo", "x", "w");
  EXPECT_EQ(page.received().size(), 3u);
  host.makeqxpcall(1, "echo", "x", "full");
  EXPECT_EQ(answersof(page.received()).back(), std::make_pair(std::string("full"), std::string()));
}

TEST(pluginhost, one_object_and_one_download_per_url) {
  scratchdir dir;
  pagerecorder page;
  registry reg;
  fakedownloads downloads;
  pluginhost host(reg.plugins, envfor(page, dir), downloads.make(), policy);

  host.loadqxp("http://h/a.qxp", "1");
  ASSERT_EQ(downloads.requests.size(), 1u);
  EXPECT_EQ(downloads.requests[0].name, sha1hex("http://h/a.qxp"));
  EXPECT_EQ(downloads.requests[0].url, "http://h/a.qxp");
  ASSERT_EQ(reg.plugins.count(sha1hex("http://h/a.qxp")), 1u);
  EXPECT_TRUE(page.received().empty());

  // Known URL: answered at once with the same number, before the download ends.
  host.loadqxp("http://h/a.qxp", "2");
  host.loadqxp("http://h/b.qxp", "3");
  EXPECT_EQ(downloads.requests.size(), 2u);
  EXPECT_EQ(loadsof(page.received()), (loads{{"2", 1}}));
  EXPECT_EQ(reg.plugins.at(sha1hex("http://h/b.qxp"))->id, 2u);
  EXPECT_EQ(reg.plugins.at(sha1hex("http://h/b.qxp"))->loadtag, "3");
}

TEST(pluginhost, only_a_complete_plugin_download_starts_the_worker) {
  scratchdir dir;
  pagerecorder page;
  registry reg;
  fakedownloads downloads;
  pluginhost host(reg.plugins, envfor(page, dir), downloads.make(), policy);
  const std::string name = sha1hex("http://h/a.qxp"), lib = dir.path(name);
  const auto download = [&] { return downloadof(dir.dir, name, TESTPLUGIN64); };

  host.loadqxp("http://h/a.qxp", "1");
  host.loadqxp("http://h/B.QXP", "2");
  host.loadqxp("http://h/c.qxp", "3");
  // Calls made before the download ends wait for the worker.
  host.makeqxpcall(1, "echo", "early", "4");

  downloads.requests[0].done({404, "http://h/a.qxp", true, download()});
  downloads.requests[1].done({200, "http://h/B.QXP", false, download()});
  downloads.requests[2].done({200, "http://h/c.qxp", true, download()});  // broken off
  EXPECT_TRUE(page.received().empty());
  for (const auto &[key, plugin] : reg.plugins) EXPECT_FALSE(plugin->started());
  EXPECT_FALSE(std::filesystem::exists(lib)) << "nothing is put in place";

  downloads.requests[0].done({200, "http://h/a.qxp", false, download()});
  const auto messages = page.waitfor(2);
  EXPECT_EQ(loadsof(messages), (loads{{"1", 1}}));
  EXPECT_EQ(answersof(messages), (answers{{"4", "early"}}));

  host.makeqxpcall(1, "echo", "later", "5");
  EXPECT_EQ(answersof(page.waitfor(3)), (answers{{"4", "early"}, {"5", "later"}}));

  finiplugins(reg.plugins);
  reg.plugins.at(sha1hex("http://h/a.qxp"))->join();
  EXPECT_EQ(pluginlog(lib).back(), "fini|");
}

TEST(pluginhost, a_download_ending_after_the_host_has_gone_starts_nothing) {
  scratchdir dir;
  pagerecorder page;
  registry reg;
  fakedownloads downloads;
  {
    pluginhost host(reg.plugins, envfor(page, dir), downloads.make(), policy);
    host.loadqxp("http://h/a.qxp", "1");
  }
  downloads.requests[0].done({200, "http://h/a.qxp", false, downloadof(dir.dir, "a", TESTPLUGIN64)});
  EXPECT_TRUE(page.received().empty());
  EXPECT_FALSE(reg.plugins.begin()->second->started());
}

TEST(pluginhost, releasing_the_registry_destroys_ended_plugins_and_leaves_a_busy_one_running) {
  scratchdir dir;
  pagerecorder page;
  fakedownloads downloads;
  pluginregistry plugins;
  pluginhost host(plugins, envfor(page, dir), downloads.make(), policy);
  host.loadqxp("http://h/idle.qxp", "1");
  host.loadqxp("http://h/busy.qxp", "2");
  const std::string idlelib = dir.path(downloads.requests[0].name), busylib = dir.path(downloads.requests[1].name);
  downloads.requests[0].done(
      {200, "http://h/idle.qxp", false, downloadof(dir.dir, downloads.requests[0].name, TESTPLUGIN64)});
  downloads.requests[1].done(
      {200, "http://h/busy.qxp", false, downloadof(dir.dir, downloads.requests[1].name, TESTPLUGIN64)});
  host.makeqxpcall(2, "slow", "2000", "3");
  ASSERT_EQ(loadsof(page.waitfor(2)).size(), 2u);
  // The stop item goes in once the worker is inside the slow call.
  const auto insidecall = [&] {
    const auto log = pluginlog(busylib);
    return !log.empty() && log.back() == "slow|2000";
  };
  for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
       !insidecall() && std::chrono::steady_clock::now() < until;)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(insidecall());
  finiplugins(plugins);
  plugins.at(sha1hex("http://h/idle.qxp"))->join();
  qxp *busy = plugins.at(sha1hex("http://h/busy.qxp")).get();

  // Releasing waits for no call; the busy plugin stays usable by its worker,
  // which answers, makes its "fini" call and ends.
  const auto start = std::chrono::steady_clock::now();
  plugins.clear();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(answersof(page.waitfor(3)), (answers{{"3", "slept"}}));
  busy->join();
  EXPECT_EQ(pluginlog(busylib).back(), "fini|");
  EXPECT_EQ(pluginlog(idlelib).back(), "fini|");
  delete busy;
}

TEST(pluginhost, with_a_signing_key_only_a_plugin_whose_signature_verifies_is_started) {
  scratchdir dir;
  pagerecorder page;
  registry reg;
  fakedownloads downloads;
  const std::string key = sign("--new-key " + dir.path("key"));
  dir.copyplugin(TESTPLUGIN64, "signed");
  sign(dir.path("key") + " " + dir.path("signed"));
  dir.copyplugin(dir.path("signed"), "tampered");
  std::ofstream(dir.path("tampered"), std::ios::app) << '\0';
  pluginhost host(reg.plugins, envfor(page, dir), downloads.make(), {"http://h", key});
  const auto finish = [&](std::size_t i, int status, const std::string &source) {
    downloads.requests[i].done({status, downloads.requests[i].url, status != 200,
                                downloadof(dir.dir, downloads.requests[i].name, dir.path(source))});
  };

  host.loadqxp("http://h/good.qxp", "1");
  host.loadqxp("http://h/tampered.qxp", "2");
  host.loadqxp("http://h/unsigned.qxp", "3");
  // Each signature is fetched first, and a plugin only when there is one.
  ASSERT_EQ(downloads.requests.size(), 3u);
  EXPECT_EQ(downloads.requests[0].url, "http://h/good.qxp.sig");
  testing::internal::CaptureStderr();
  finish(0, 200, "signed.sig");
  finish(1, 200, "signed.sig");
  finish(2, 404, "signed.sig");
  ASSERT_EQ(downloads.requests.size(), 5u);
  finish(3, 200, "signed");
  finish(4, 200, "tampered");
  const std::string debug = testing::internal::GetCapturedStderr();

  EXPECT_EQ(loadsof(page.waitfor(1)), (loads{{"1", 1}}));
  host.makeqxpcall(1, "echo", "signed", "4");
  EXPECT_EQ(answersof(page.waitfor(2)), (answers{{"4", "signed"}}));
  EXPECT_NE(debug.find("plugin http://h/tampered.qxp refused: the signature does not match the file; not started"),
            std::string::npos)
      << debug;
  EXPECT_NE(debug.find("plugin http://h/unsigned.qxp refused: its signature could not be fetched"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path(sha1hex("http://h/tampered.qxp"))));
}

TEST(pluginhost, a_plain_http_plugin_of_another_origin_is_neither_downloaded_nor_answered) {
  scratchdir dir;
  pagerecorder page;
  registry reg;
  fakedownloads downloads;
  pluginhost host(reg.plugins, envfor(page, dir), downloads.make(), policy);
  testing::internal::CaptureStderr();
  host.loadqxp("http://elsewhere/a.qxp", "1");
  host.loadqxp("http://elsewhere/a.qxp", "2");
  const std::string debug = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(downloads.requests.empty());
  EXPECT_TRUE(reg.plugins.empty());
  EXPECT_TRUE(page.received().empty());
  EXPECT_NE(debug.find("plugin http://elsewhere/a.qxp refused: it is neither of the service's origin"),
            std::string::npos)
      << debug;
}
