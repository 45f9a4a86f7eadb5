// The soak run (scripts/soak): the sign-in listener and the plugin host under
// sustained load on loopback, bounded in count and time. Checks that every
// request and every call is answered as it should be, and that open
// descriptors, threads and resident memory stay within stated bounds.
//
//   orvasoak --relay=MODRELAY --plugin64=LIB --plugin32=LIB
//            [--connections=10000] [--calls=100000] [--idle-ms=1000]
//
// Exit status 0 when every check held.
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "authserver/callbackserver.h"
#include "authserver/httprequest.h"
#include "bench/soakprobe.h"
#include "common/fdio.h"
#include "plugins/pluginhost.h"

namespace {

using namespace std::chrono_literals;
using clock_type = std::chrono::steady_clock;

// Growth allowed between the first sample after warm-up and any later one.
constexpr long fdslack = 2;
constexpr long memoryslackkib = 8 * 1024;
// Under a sanitizer, shadow memory and the sanitizer's own records grow with
// the work done: resident memory says nothing about leaks then (and
// LeakSanitizer reports those at exit).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool memorybounded = false;
#else
constexpr bool memorybounded = true;
#endif

int failures = 0;

void check(bool condition, const std::string &what) {
  if (condition) return;
  ++failures;
  std::printf("FAILED: %s\n", what.c_str());
  std::fflush(stdout);
}

void say(const std::string &line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Samples of the process's usage during a phase; the first one is the
// reference the others are held to.
class usagewatch {
 public:
  explicit usagewatch(std::string phase) : phase(std::move(phase)) {}
  // `extra`: client threads (and their connections, two descriptors each)
  // that the phase has running at this moment.
  void sample(const std::string &when, long extra = 0) {
    const processusage u = currentusage();
    say("  " + phase + " " + when + ": " + describe(u));
    if (!reference) {
      reference = u;
      return;
    }
    check(u.fds <= reference->fds + 2 * extra + fdslack, phase + ": open descriptors grew from " +
                                                             std::to_string(reference->fds) + " to " +
                                                             std::to_string(u.fds));
    check(u.threads <= reference->threads + extra, phase + ": threads grew from " +
                                                       std::to_string(reference->threads) + " to " +
                                                       std::to_string(u.threads));
    check(!memorybounded || u.rsskib <= reference->rsskib + memoryslackkib,
          phase + ": resident memory grew from " + std::to_string(reference->rsskib) + " to " +
              std::to_string(u.rsskib) + " KiB");
  }

 private:
  std::string phase;
  std::optional<processusage> reference;
};

// ---------------------------------------------------------------- listener

enum class clientkind {
  completion,
  notfound,
  malformed,
  oversized,
  http10,
  dropped,
  reset,
  idle,
  idleleaving
};

// Out of every twenty clients: ten sign-in completions, two other requests,
// two of random bytes, and one each of the rest.
clientkind kindof(int i) {
  using enum clientkind;
  static constexpr clientkind mix[20] = {completion, completion, completion, completion, completion,
                                         completion, completion, completion, completion, completion,
                                         notfound,   notfound,   malformed,  malformed,  oversized,
                                         http10,     dropped,    reset,      idle,       idleleaving};
  return mix[i % 20];
}

int connectto(unsigned short port, std::chrono::milliseconds readwait) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval tv{};
  tv.tv_sec = readwait.count() / 1000;
  tv.tv_usec = (readwait.count() % 1000) * 1000;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) return fd;
    if (errno != EAGAIN && errno != ECONNREFUSED && errno != EINTR) break;
    std::this_thread::sleep_for(10ms);
  }
  ::close(fd);
  return -1;
}

bool sendall(int fd, const std::string &bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Everything the server sends until it closes; `reset` tells whether the
// connection ended with a reset or the read timed out instead of a close.
std::string readreply(int fd, bool &reset) {
  std::string reply;
  reset = false;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) {
      reply.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    reset = n < 0;
    return reply;
  }
}

struct listenertally {
  std::mutex guard;
  std::vector<int> notified;  // how often the page was told of each client's code
  std::atomic<long> notifications{0};
  std::atomic<long> done{0};
};

// The client number in a completion target ("...?code=N"), or -1.
int codeof(const std::string &target) {
  const std::string prefix = "/api/user/completeauth?code=";
  if (!target.starts_with(prefix)) return -1;
  return std::atoi(target.c_str() + prefix.size());
}

// One client of the given kind; returns a description of what went wrong, or
// an empty string.
std::string runclient(int i, unsigned short port, std::chrono::milliseconds idle, std::mt19937 &random) {
  const clientkind kind = kindof(i);
  const int fd = connectto(port, idle + 3000ms);
  if (fd < 0) return "cannot connect";
  std::string request;
  std::string expected = std::string(notfoundreply);
  bool resetallowed = false;
  switch (kind) {
    case clientkind::completion:
      request = "GET /api/user/completeauth?code=" + std::to_string(i) + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                std::to_string(port) + "\r\nSec-Fetch-Dest: document\r\nSec-Fetch-Mode: navigate\r\n\r\n";
      expected = std::string(successreply);
      break;
    case clientkind::notfound:
      request = "GET /favicon.ico HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
      break;
    case clientkind::malformed: {
      // Random bytes without spaces, so without a request line.
      std::uniform_int_distribution<int> length(1, 2000), byte(0, 255);
      request.resize(static_cast<std::size_t>(length(random)));
      for (char &c : request) c = static_cast<char>(byte(random));
      std::replace(request.begin(), request.end(), ' ', '_');
      break;
    }
    case clientkind::oversized:
      // Longer than one read: the request line lies beyond it. The server
      // closes with bytes unread, which the kernel may turn into a reset.
      request = std::string(9000, 'A') + "GET /api/user/completeauth HTTP/1.1\r\n\r\n";
      resetallowed = true;
      break;
    case clientkind::http10:
      request = "GET /api/user/completeauth?code=old HTTP/1.0\r\n\r\n";
      break;
    case clientkind::dropped:
      ::close(fd);
      return {};
    case clientkind::reset: {
      ::send(fd, "GET /api/us", 11, MSG_NOSIGNAL);
      linger hard{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      ::close(fd);
      return {};
    }
    case clientkind::idle:
      break;
    case clientkind::idleleaving:
      std::this_thread::sleep_for(idle / 4);
      ::close(fd);
      return {};
  }
  const auto start = clock_type::now();
  if (!request.empty() && !sendall(fd, request) && !resetallowed) {
    ::close(fd);
    return "request not sent";
  }
  bool reset = false;
  const std::string reply = readreply(fd, reset);
  const auto took = clock_type::now() - start;
  ::close(fd);
  if (reset && resetallowed && reply.empty()) return {};
  if (reply != expected)
    return "kind " + std::to_string(static_cast<int>(kind)) + ": unexpected reply (" +
           std::to_string(reply.size()) + " bytes" + (reset ? ", reset" : "") + ")";
  if (kind == clientkind::idle && took < idle - 50ms) return "idle connection answered before its deadline";
  return {};
}

void listenersoak(int connections, std::chrono::milliseconds idle) {
  say("listener: " + std::to_string(connections) + " connections, idle deadline " +
      std::to_string(idle.count()) + " ms");
  listenertally tally;
  callbackserverconfig config;
  config.port = 0;
  config.idletimeout = idle;
  tally.notified.assign(static_cast<std::size_t>(connections), 0);
  config.notify = [&tally](pagemessage m) {
    tally.notifications.fetch_add(1);
    const int code = codeof(m.getstring(0));
    std::lock_guard<std::mutex> lock(tally.guard);
    if (code >= 0 && static_cast<std::size_t>(code) < tally.notified.size()) ++tally.notified[code];
  };
  auto server = startcallbackserver(config);
  check(server->listening(), "the listener could not start");
  if (!server->listening()) return;
  const unsigned short port = server->port();

  usagewatch watch("listener");
  // Warm-up: the first connections allocate what the io loop keeps.
  {
    std::mt19937 random(1);
    for (int i = 0; i < 40; ++i) check(runclient(i % 12, port, idle, random).empty(), "warm-up request");
  }
  tally.notifications = 0;
  std::fill(tally.notified.begin(), tally.notified.end(), 0);
  watch.sample("after warm-up");

  // Enough clients that the idle ones (one in ten) cannot hold up the rest.
  constexpr int clients = 48;
  std::atomic<int> next{0};
  std::mutex problemguard;
  std::map<std::string, int> problems;
  std::vector<std::thread> pool;
  for (int t = 0; t < clients; ++t)
    pool.emplace_back([&, t] {
      std::mt19937 random(static_cast<unsigned>(t + 7));
      for (int i; (i = next.fetch_add(1)) < connections;) {
        const std::string problem = runclient(i, port, idle, random);
        if (!problem.empty()) {
          std::lock_guard<std::mutex> lock(problemguard);
          ++problems[problem];
        }
        tally.done.fetch_add(1);
      }
    });
  for (long reported = 0; tally.done.load() < connections;) {
    std::this_thread::sleep_for(100ms);
    if (tally.done.load() >= reported + connections / 4) {
      reported = tally.done.load();
      watch.sample("at " + std::to_string(reported) + " connections", clients);
    }
  }
  for (auto &t : pool) t.join();

  for (const auto &[problem, count] : problems)
    check(false, "listener: " + std::to_string(count) + "x " + problem);
  long completions = 0;
  for (int i = 0; i < connections; ++i)
    if (kindof(i) == clientkind::completion) ++completions;
  check(tally.notifications.load() == completions, "listener: " + std::to_string(tally.notifications.load()) +
                                                       " notifications for " + std::to_string(completions) +
                                                       " completions");
  {
    std::lock_guard<std::mutex> lock(tally.guard);
    long matched = 0;
    for (int i = 0; i < connections; ++i)
      if (kindof(i) == clientkind::completion && tally.notified[static_cast<std::size_t>(i)] == 1) ++matched;
    check(matched == completions,
          "listener: " + std::to_string(completions - matched) + " completions never reached the page");
  }
  // The server closes its end right after each reply: give the last ones a moment.
  std::this_thread::sleep_for(200ms);
  watch.sample("after all connections");
  say("listener: " + std::to_string(connections) + " connections, " + std::to_string(completions) +
      " completions notified once each");
  stopcallbackserver(std::move(server));
}

// ---------------------------------------------------------------- plugins

// The calls in flight and what became of the answered ones. Answers are
// checked as they arrive (on the worker threads), so the book holds only the
// calls still waiting and its size stays bounded however long the run.
class callbook {
 public:
  void add(const std::string &id, std::string data, int plugin) {
    std::lock_guard<std::mutex> lock(guard);
    waiting.emplace(id, call{std::move(data), plugin});
    ++issued;
  }
  void put(const pagemessage &m) {
    std::lock_guard<std::mutex> lock(guard);
    if (m.name == "qxpLoaded") {
      loaded.push_back(m.getint(1));
    } else if (m.name == "qxpCallCompleted") {
      auto it = waiting.find(m.getstring(0));
      if (it == waiting.end()) {
        ++unexpected;  // answered twice, or never asked
      } else {
        const std::string result = m.getstring(1);
        if (result == it->second.data)
          ++echoed;
        else if (result.empty() && it->second.plugin == killedplugin)
          ++emptied;
        else
          ++wrong;
        waiting.erase(it);
        ++answered;
      }
    }
    changed.notify_all();
  }
  // Waits until at most `left` calls are waiting; false when no answer came
  // for `stall`.
  bool waitdownto(long left, std::chrono::milliseconds stall) {
    std::unique_lock<std::mutex> lock(guard);
    long last = answered;
    while (issued - answered > left) {
      if (!changed.wait_for(lock, stall, [&] { return answered != last; })) return false;
      last = answered;
    }
    return true;
  }
  long inflight() {
    std::lock_guard<std::mutex> lock(guard);
    return issued - answered;
  }

  std::mutex guard;
  std::vector<int> loaded;
  long issued = 0, answered = 0, echoed = 0, emptied = 0, wrong = 0, unexpected = 0;
  int killedplugin = 0;

 private:
  struct call {
    std::string data;
    int plugin;
  };
  std::condition_variable changed;
  std::map<std::string, call> waiting;
};

void pluginsoak(const std::string &relay, const std::string &plugin64, const std::string &plugin32,
                long calls) {
  say("plugins: " + std::to_string(calls) + " calls in-process and " + std::to_string(calls) +
      " relayed; the relay is killed half-way and a second one takes over");
  const processusage before = currentusage();
  std::string scratch = (std::filesystem::temp_directory_path() / "orvasoak.XXXXXX").string();
  if (!::mkdtemp(scratch.data())) {
    check(false, "no scratch directory");
    return;
  }

  callbook book;
  qxpenv env;
  env.send = [&book](pagemessage m) { book.put(m); };
  env.relaypath = relay;
  env.socketdir = scratch;
  const std::map<std::string, std::string> files{{"http://127.0.0.1/in.qxp", plugin64},
                                                 {"http://127.0.0.1/relayed.qxp", plugin32},
                                                 {"http://127.0.0.1/relayed-again.qxp", plugin32}};
  // The "download" finishes at once: a copy of the library, left beside its
  // name as a download leaves it.
  downloader download = [&files, &scratch](const std::string &name, const std::string &url,
                                           downloadcompletion done) {
    std::string problem;
    replacementfile file = replacementfile::create(scratch, name, 0600, problem);
    std::ifstream in(files.at(url), std::ios::binary);
    writeall(file.fd(), std::string(std::istreambuf_iterator<char>(in), {}));
    done(downloadresult{200, url, false, std::move(file)});
  };
  pluginregistry registry;
  {
    // This thread plays the UI thread: the host is used only here.
    pluginhost host(registry, env, download, {"http://127.0.0.1", {}});
    host.loadqxp("http://127.0.0.1/in.qxp", "load-in");
    host.loadqxp("http://127.0.0.1/relayed.qxp", "load-relayed");
    const int inprocess = 1;
    int relayed = 2;

    // Calls in flight stay well below the store's 1024 nodes per plugin.
    constexpr long window = 128;
    // Calls queued behind the one the relay dies in.
    constexpr int killedwaiting = 20;
    long issued = 0;
    std::mt19937 random(42);
    std::uniform_int_distribution<int> length(0, 300);
    auto issue = [&](int plugin) {
      const std::string id = std::to_string(issued++);
      std::string data = "call " + id + " ";
      data.append(static_cast<std::size_t>(length(random)), static_cast<char>('a' + issued % 26));
      book.add(id, data, plugin);
      host.makeqxpcall(plugin, "echo", data, id);
    };

    usagewatch watch("plugins");
    long inissued = 0, relayedissued = 0, nextsample = 0;
    bool killed = false;
    while (inissued < calls || relayedissued < calls) {
      if (book.inflight() >= window && !book.waitdownto(window / 2, 30s)) {
        check(false,
              "plugins: no answer for 30 s with " + std::to_string(book.inflight()) + " calls waiting");
        break;
      }
      if (inissued < calls) {
        issue(inprocess);
        ++inissued;
      }
      if (relayedissued < calls) {
        if (!killed && relayedissued == calls / 2) {
          {
            std::lock_guard<std::mutex> lock(book.guard);
            book.killedplugin = relayed;
          }
          // The relay dies in the middle of a call, with more waiting
          // behind it: all of them must still be answered (empty).
          const std::string id = std::to_string(issued++);
          book.add(id, "waited", relayed);
          host.makeqxpcall(relayed, "wait", "500", id);
          for (int i = 0; i < killedwaiting; ++i) issue(relayed);
          std::this_thread::sleep_for(100ms);
          const std::vector<pid_t> relays = childrennamed("modrelay");
          check(relays.size() == 1,
                "plugins: expected one relay process, found " + std::to_string(relays.size()));
          for (pid_t pid : relays) ::kill(pid, SIGKILL);
          killed = true;
          // Later calls go to a second relayed plugin; the dead one answers
          // its waiting calls empty.
          host.loadqxp("http://127.0.0.1/relayed-again.qxp", "load-again");
          relayed = 3;
          say("  killed the relay after " + std::to_string(relayedissued) + " relayed calls");
          // The first sample, the reference for the rest of the run, comes
          // once the second relay serves; the dead one's worker still answers.
          nextsample = issued + 2000;
        }
        issue(relayed);
        ++relayedissued;
      }
      if (killed && issued >= nextsample) {
        watch.sample("at " + std::to_string(issued) + " calls");
        nextsample += calls / 4;
      }
    }
    check(book.waitdownto(0, 30s), "plugins: calls left unanswered");
    watch.sample("after " + std::to_string(issued) + " calls");

    std::lock_guard<std::mutex> lock(book.guard);
    check(book.answered == issued,
          "plugins: " + std::to_string(issued - book.answered) + " calls never answered");
    check(book.unexpected == 0,
          "plugins: " + std::to_string(book.unexpected) + " answers to no waiting call");
    check(book.wrong == 0, "plugins: " + std::to_string(book.wrong) + " calls answered with another text");
    check(book.emptied >= killedwaiting + 1 && book.emptied <= window + killedwaiting + 1,
          "plugins: " + std::to_string(book.emptied) + " calls answered empty after the relay was killed");
    check(book.loaded == std::vector<int>({1, 2, 3}),
          "plugins: the page was not told of exactly three plugins");
    say("plugins: " + std::to_string(book.answered) + " of " + std::to_string(issued) + " calls answered, " +
        std::to_string(book.emptied) + " of them empty because their relay was killed");
    finiplugins(registry);
  }
  for (auto &[name, plugin] : registry) plugin->join();
  registry.clear();
  std::filesystem::remove_all(scratch);
  const processusage after = currentusage();
  say("  plugins before: " + describe(before) + "; after they stopped: " + describe(after));
  check(after.fds == before.fds, "plugins: descriptors left open after the plugins stopped");
  check(after.threads == before.threads, "plugins: threads left running after the plugins stopped");
  check(children().empty(), "plugins: relay processes left behind");
}

std::string argvalue(const std::string &arg, const char *name) {
  const std::string prefix = std::string("--") + name + "=";
  return arg.starts_with(prefix) ? arg.substr(prefix.size()) : std::string();
}

}  // namespace

int main(int argc, char **argv) {
  std::string relay, plugin64, plugin32;
  int connections = 10000;
  long calls = 100000;
  int idlems = 1000;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (auto v = argvalue(a, "relay"); !v.empty()) relay = v;
    if (auto v = argvalue(a, "plugin64"); !v.empty()) plugin64 = v;
    if (auto v = argvalue(a, "plugin32"); !v.empty()) plugin32 = v;
    if (auto v = argvalue(a, "connections"); !v.empty()) connections = std::atoi(v.c_str());
    if (auto v = argvalue(a, "calls"); !v.empty()) calls = std::atol(v.c_str());
    if (auto v = argvalue(a, "idle-ms"); !v.empty()) idlems = std::atoi(v.c_str());
  }
  if (relay.empty() || plugin64.empty() || plugin32.empty() || connections <= 0 || calls <= 0 ||
      idlems <= 0) {
    std::fprintf(stderr,
                 "usage: orvasoak --relay=MODRELAY --plugin64=LIB --plugin32=LIB [--connections=N] "
                 "[--calls=N] [--idle-ms=N]\n");
    return 2;
  }
  say("bounds over the first sample after warm-up: descriptors +" + std::to_string(fdslack) +
      ", threads +0 (beyond a phase's own clients), memory " +
      (memorybounded ? "+" + std::to_string(memoryslackkib / 1024) + " MiB"
                     : "not bounded under a sanitizer"));
  const auto start = clock_type::now();
  listenersoak(connections, std::chrono::milliseconds(idlems));
  pluginsoak(relay, plugin64, plugin32, calls);
  const auto seconds = std::chrono::duration<double>(clock_type::now() - start).count();
  std::printf("%s after %.0f s\n", failures ? "soak FAILED" : "soak passed", seconds);
  return failures ? 1 : 0;
}
