// Plugin call round trips, for scripts/bench: a call queued to a plugin worker
// until its answer comes back, with the plugin served in-process and through
// the relay, against a raw ping-pong of the same message over a Unix-domain
// socket with a 64-bit and a 32-bit peer. With --wineplugin, a Windows plugin
// served through orvawinehost under Wine too ("wine"; its Wine prefix is made
// in --wineprefix when it is not there yet). Prints one JSON object.
//
// With --relaynative, the 64-bit plugin also through the relay built for this
// machine ("bridgednative", against the 64-bit peer).
//
//   pluginbench --relay=MODRELAY --plugin64=LIB --plugin32=LIB --peer64=EXE
//               --peer32=EXE [--relaynative=EXE] [--log=FILE] [--calls=N]
//               [--warmup=N] [--blocks=N]
//               [--size=BYTES]... [--wineplugin=DLL --winehostdir=DIR
//               --wineprefix=DIR [--winepeer=EXE.SO]]
//
// With --log, standard error (where the relayed calls trace themselves) is
// copied into the file by a thread, as the program does.
#include <dirent.h>
#include <sched.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/stderrlog.h"
#include "bench/benchstats.h"
#include "common/fdio.h"
#include "plugins/callerpoll.h"
#include "plugins/qxp.h"
#include "plugins/wineprefix.h"
#include "protocol/relayframe.h"

extern char **environ;

namespace {

using clock_type = std::chrono::steady_clock;

struct options {
  std::string relay, relaynative, plugin64, plugin32, peer64, peer32, log;
  std::string wineplugin, winehostdir, wineprefixdir, winepeer;
  int calls = 20000;
  int warmup = 500;
  int blocks = 20;
  std::vector<std::size_t> sizes;
};

// The answer of the one call in flight. The caller either spins on the count
// (the in-process answer comes back within microseconds, and a blocking wait
// would add the caller's own wake-up to it) or sleeps until it changes, as a
// reader of a socket does (the relayed calls, like their raw baseline, on a
// machine with few cores that the spinning caller would share with the
// relay).
class answerbox {
 public:
  void put(pagemessage m) {
    {
      std::lock_guard<std::mutex> lock(guard);
      result = std::move(std::get<std::string>(m.args.at(1)));
      ++count;
    }
    changed.notify_one();
    published.fetch_add(1, std::memory_order_release);
  }
  std::string waitafter(long seen, bool spin) {
    if (spin)
      for (int spins = 0; published.load(std::memory_order_acquire) == seen; ++spins)
        if (spins > 2000) std::this_thread::yield();
    std::unique_lock<std::mutex> lock(guard);
    changed.wait(lock, [&] { return count != seen; });
    return result;
  }
  // The first answer after `seen`, or nothing after `limit`.
  std::optional<std::string> waitfor(long seen, std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(guard);
    if (!changed.wait_for(lock, limit, [&] { return count != seen; })) return std::nullopt;
    return result;
  }
  long seen() {
    std::lock_guard<std::mutex> lock(guard);
    return count;
  }

 private:
  std::mutex guard;
  std::condition_variable changed;
  long count = 0;
  std::atomic<long> published{0};
  std::string result;
};

// The answer after `seen`: with `loop`, the relayed plugin's answer is read
// on this thread as the program's event loop would, else the worker reads it.
std::string waitanswer(answerbox &box, long seen, callerpoll *loop) {
  if (!loop) return box.waitafter(seen, true);
  while (box.seen() == seen)
    if (!loop->runonce(1000))
      if (auto a = box.waitfor(seen, std::chrono::seconds(1))) return *a;
  return box.waitafter(seen, false);
}

// Round trips through a started plugin worker; false when an answer was not
// the echo of its call. `loop`: the relayed plugins' answers are read here.
bool measureplugin(qxp &plugin, answerbox &box, callerpoll *loop, const std::string &payload, int warmup, int calls,
                   std::vector<double> &us) {
  for (int i = 0; i < warmup + calls; ++i) {
    // The last call's debug lines, written once its answer has gone.
    if (loop) loop->rundeferred();
    const long seen = box.seen();
    const auto start = clock_type::now();
    plugin.call(std::to_string(i), "echo", payload);
    const std::string answer = waitanswer(box, seen, loop);
    const auto end = clock_type::now();
    if (answer != payload) return false;
    if (i >= warmup) us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  return true;
}

// A peer process connected to a fresh socket; -1 when it could not be made.
struct peerprocess {
  pid_t pid = -1;
  int fd = -1;
  ~peerprocess() {
    if (fd >= 0) ::close(fd);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
  }
};

// `command`: the words that start the peer, before its socket argument.
bool startpeer(const std::vector<std::string> &command, const std::string &dir, peerprocess &peer) {
  const std::string path = dir + "/ping";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ::unlink(path.c_str());
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      ::listen(listener, 1) != 0) {
    std::perror("pluginbench: peer socket");
    return false;
  }
  std::vector<char *> argv;
  for (const std::string &word : command) argv.push_back(const_cast<char *>(word.c_str()));
  argv.push_back(const_cast<char *>(path.c_str()));
  argv.push_back(nullptr);
  if (::posix_spawn(&peer.pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    ::close(listener);
    return false;
  }
  peer.fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  ::close(listener);
  ::unlink(path.c_str());
  return peer.fd >= 0;
}

// Waits for the echo awake for a moment before it sleeps, as the program and
// the relay wait for each other's messages.
bool readexact(int fd, char *p, std::size_t n) {
  while (n > 0) {
    const ssize_t r = readsomewhenready(fd, p, n, callspin);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

// The raw ping-pong: one framed write of "echo|payload" (the relay's message
// for the same call), the same frame read back.
bool measureraw(int fd, const std::string &payload, int warmup, int calls, std::vector<double> &us) {
  const std::string body = "echo|" + payload;
  std::string frame(4, '\0');
  for (int b = 0; b < 4; ++b) frame[b] = static_cast<char>((body.size() >> (8 * b)) & 0xff);
  frame += body;
  std::string back(frame.size(), '\0');
  for (int i = 0; i < warmup + calls; ++i) {
    const auto start = clock_type::now();
    for (std::size_t done = 0; done < frame.size();) {
      const ssize_t w = ::send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
      if (w <= 0) return false;
      done += static_cast<std::size_t>(w);
    }
    if (!readexact(fd, back.data(), back.size())) return false;
    const auto end = clock_type::now();
    if (back != frame) return false;
    if (i >= warmup) us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  return true;
}

// The numeric entries of a /proc directory.
std::vector<pid_t> numbered(const std::string &dir) {
  std::vector<pid_t> ids;
  if (DIR *d = ::opendir(dir.c_str())) {
    while (const dirent *e = ::readdir(d))
      if (const pid_t id = std::atoi(e->d_name); id > 0) ids.push_back(id);
    ::closedir(d);
  }
  return ids;
}

// This process and every process started from it, however indirectly.
std::set<pid_t> family() {
  std::multimap<pid_t, pid_t> children;
  for (const pid_t pid : numbered("/proc")) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    // The parent is the second field after the name, which ends at the last ')'.
    const auto name = stat.rfind(')');
    if (name == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(stat.c_str() + name + 1, " %c %d", &state, &parent) == 2) children.emplace(parent, pid);
  }
  std::set<pid_t> all{::getpid()};
  for (std::vector<pid_t> todo{::getpid()}; !todo.empty();) {
    const pid_t pid = todo.back();
    todo.pop_back();
    for (auto [at, end] = children.equal_range(pid); at != end; ++at)
      if (all.insert(at->second).second) todo.push_back(at->second);
  }
  return all;
}

// Keeps the calling thread on the processor it is on and every other thread
// of this process and of its children (workers, relays, peers) off it. Where
// the scheduler put a caller and its far end on one processor, their
// ping-pong skipped the transfer between caches and took two thirds of the
// time: a way's figure depended on where its peer happened to start.
void placeapart() {
  cpu_set_t all;
  if (::sched_getaffinity(0, sizeof all, &all) != 0 || CPU_COUNT(&all) < 2) return;
  const int here = ::sched_getcpu();
  cpu_set_t mine, others = all;
  CPU_ZERO(&mine);
  CPU_SET(here, &mine);
  CPU_CLR(here, &others);
  ::sched_setaffinity(0, sizeof mine, &mine);
  const pid_t self = ::gettid();
  for (const pid_t pid : family())
    for (const pid_t task : numbered("/proc/" + std::to_string(pid) + "/task"))
      if (task != self) ::sched_setaffinity(task, sizeof others, &others);
}

std::string argvalue(const std::string &arg, const char *name) {
  const std::string prefix = std::string("--") + name + "=";
  return arg.starts_with(prefix) ? arg.substr(prefix.size()) : std::string();
}

}  // namespace

int main(int argc, char **argv) {
  options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (auto v = argvalue(a, "relay"); !v.empty()) o.relay = v;
    if (auto v = argvalue(a, "relaynative"); !v.empty()) o.relaynative = v;
    if (auto v = argvalue(a, "plugin64"); !v.empty()) o.plugin64 = v;
    if (auto v = argvalue(a, "plugin32"); !v.empty()) o.plugin32 = v;
    if (auto v = argvalue(a, "peer64"); !v.empty()) o.peer64 = v;
    if (auto v = argvalue(a, "peer32"); !v.empty()) o.peer32 = v;
    if (auto v = argvalue(a, "log"); !v.empty()) o.log = v;
    if (auto v = argvalue(a, "wineplugin"); !v.empty()) o.wineplugin = v;
    if (auto v = argvalue(a, "winehostdir"); !v.empty()) o.winehostdir = v;
    if (auto v = argvalue(a, "wineprefix"); !v.empty()) o.wineprefixdir = v;
    if (auto v = argvalue(a, "winepeer"); !v.empty()) o.winepeer = v;
    if (auto v = argvalue(a, "calls"); !v.empty()) o.calls = std::atoi(v.c_str());
    if (auto v = argvalue(a, "warmup"); !v.empty()) o.warmup = std::atoi(v.c_str());
    if (auto v = argvalue(a, "blocks"); !v.empty()) o.blocks = std::max(1, std::atoi(v.c_str()));
    if (auto v = argvalue(a, "size"); !v.empty()) o.sizes.push_back(std::strtoul(v.c_str(), nullptr, 10));
  }
  if (o.relay.empty() || o.plugin64.empty() || o.plugin32.empty() || o.peer64.empty() || o.peer32.empty() ||
      o.calls <= 0) {
    std::fprintf(stderr, "pluginbench: missing arguments\n");
    return 2;
  }
  if (o.sizes.empty()) o.sizes.push_back(64);
  std::optional<stderrlog> debuglog;
  if (!o.log.empty()) debuglog.emplace(o.log);

  std::string scratch = (std::filesystem::temp_directory_path() / "orvapluginbench.XXXXXX").string();
  if (!::mkdtemp(scratch.data())) return 1;

  callerpoll loop;
  answerbox inbox, relayedbox, nativebox;
  qxpenv inenv, relayedenv;
  relayedenv.watch = loop.watcher();
  relayedenv.later = loop.deferrer();
  inenv.send = [&inbox](pagemessage m) { inbox.put(std::move(m)); };
  relayedenv.send = [&relayedbox](pagemessage m) { relayedbox.put(std::move(m)); };
  relayedenv.relaypath = o.relay;
  relayedenv.socketdir = scratch;
  qxpenv nativeenv = relayedenv;
  nativeenv.send = [&nativebox](pagemessage m) { nativebox.put(std::move(m)); };
  nativeenv.relaypath = o.relaynative;
  nativeenv.relayall = true;
  qxp inprocess(1), relayed(2), native(4);
  inprocess.start(o.plugin64, inenv);
  relayed.start(o.plugin32, relayedenv);
  const bool withnative = !o.relaynative.empty();
  if (withnative) native.start(o.plugin64, nativeenv);
  // The Windows plugin: its first answer waits for Wine (and, once, for its
  // prefix); without one within two minutes it is left out.
  answerbox winebox;
  qxpenv wineenv;
  wineenv.send = [&winebox](pagemessage m) { winebox.put(std::move(m)); };
  wineenv.watch = loop.watcher();
  wineenv.later = loop.deferrer();
  wineenv.socketdir = scratch;
  wineenv.winehostdir = o.winehostdir;
  wineenv.wine = std::make_shared<wineprefix>(o.wineprefixdir, nullptr);
  qxp wine(3);
  bool withwine = !o.wineplugin.empty() && !o.wineprefixdir.empty();
  if (withwine) {
    wine.start(o.wineplugin, wineenv);
    const long seen = winebox.seen();
    wine.call("ready", "echo", "ready");
    withwine = winebox.waitfor(seen, std::chrono::seconds(120)) == "ready";
    if (!withwine) std::fprintf(stderr, "pluginbench: the Windows plugin did not answer; left out\n");
  }
  peerprocess peer64, peer32, peerwine;
  if (!startpeer({o.peer64}, scratch, peer64) || !startpeer({o.peer32}, scratch, peer32)) return 1;
  // The Windows plugins' baseline: the peer as a Winelib program under the
  // same Wine prefix, run the way the plugin host is.
  const bool withwinepeer =
      withwine && !o.winepeer.empty() && startpeer(wineenv.wine->command(o.winepeer), scratch, peerwine);
  placeapart();

  std::string json = "{\"calls\":" + std::to_string(o.calls) + ",\"sizes\":[";
  bool ok = true;
  for (std::size_t s = 0; s < o.sizes.size(); ++s) {
    const std::string payload(o.sizes[s], 'x');
    std::map<std::string, std::vector<double>> us;
    // The ways take turns in short blocks, so that a change in the
    // machine's load meets all of them alike. Each block starts once the
    // parties of the last one have stopped waiting awake for more.
    const int blocks = o.blocks;
    const auto settled = [] { std::this_thread::sleep_for(2 * callspin); };
    for (int b = 0; ok && b < blocks; ++b) {
      const int warmup = b == 0 ? o.warmup : 20, calls = o.calls / blocks;
      settled();
      ok = ok && measureplugin(inprocess, inbox, nullptr, payload, warmup, calls, us["inprocess"]);
      // Reported under "bridged", the name the benchmark's rows have always had.
      settled();
      ok = ok && measureplugin(relayed, relayedbox, &loop, payload, warmup, calls, us["bridged"]);
      settled();
      if (withnative) ok = ok && measureplugin(native, nativebox, &loop, payload, warmup, calls, us["bridgednative"]);
      settled();
      ok = ok && measureraw(peer64.fd, payload, warmup, calls, us["raw64"]);
      settled();
      ok = ok && measureraw(peer32.fd, payload, warmup, calls, us["raw32"]);
      settled();
      if (withwine) ok = ok && measureplugin(wine, winebox, &loop, payload, warmup, calls, us["wine"]);
      settled();
      if (withwinepeer) ok = ok && measureraw(peerwine.fd, payload, warmup, calls, us["rawwine"]);
    }
    if (!ok) break;
    json += std::string(s ? "," : "") + "{\"size\":" + std::to_string(o.sizes[s]);
    for (auto &[name, samples] : us) json += ",\"" + name + "\":" + statsjson(summarise(samples));
    json += "}";
  }
  json += "]}";

  inprocess.fini();
  relayed.fini();
  inprocess.join();
  relayed.join();
  if (withnative) {
    native.fini();
    native.join();
  }
  if (withwine) {
    wine.fini();
    wine.join();
  }
  wineenv.wine->stop();
  for (peerprocess *peer : {&peer64, &peer32, &peerwine}) {
    if (peer->fd >= 0) ::close(peer->fd);
    peer->fd = -1;
  }
  std::filesystem::remove_all(scratch);
  if (!ok) {
    std::fprintf(stderr, "pluginbench: a call was not answered with its own text\n");
    return 1;
  }
  std::printf("%s\n", json.c_str());
  return 0;
}
