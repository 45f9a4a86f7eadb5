#pragma once

#include <atomic>
#include <boost/interprocess/sync/interprocess_semaphore.hpp>
#include <boost/lockfree/stack.hpp>
#include <boost/thread/thread.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ownedfd.h"
#include "protocol/pagemessage.h"
#include "protocol/relayframe.h"
#include "protocol/relayprogram.h"

// One call waiting for a plugin's worker.
struct qxpcall {
  std::string fn;     // function name passed to handleCall
  std::string data;   // argument text passed to handleCall
  std::string tag;    // request id echoed in "qxpCallCompleted"
  bool fini = false;  // the stop item; its texts are empty
  bool sent = false;  // already written to the relay by call(): only its answer is awaited
};

// The plugin library a worker serves: open, so that the file checked is the
// file loaded whatever later happens to its name. `path` names it in debug
// lines.
struct pluginfile {
  ownedfd fd;
  std::string path;
};

// A watch on a descriptor, kept by the thread that makes calls (the UI
// thread): while it is on, that thread runs the watch's function whenever the
// descriptor has data to read.
class readwatch {
 public:
  virtual ~readwatch() = default;
  virtual void on(bool enabled) = 0;
};
// Makes a watch (off) on `fd` that runs `ready`; called on the calling thread.
using readwatcher = std::function<std::unique_ptr<readwatch>(int fd, std::function<void()> ready)>;

// What a plugin worker needs from its surroundings.
struct qxpenv {
  // Delivers answers to the page; called on the worker thread.
  std::function<void(pagemessage)> send;
  // The relay program; empty: "modrelay" beside the running program.
  std::string relaypath;
  // Where relay sockets are made; empty: the runtime directory.
  std::string socketdir;
  // Windows plugins run under this Wine prefix; null: they are refused.
  std::shared_ptr<class wineprefix> wine;
  // Where orvawinehost is; empty: beside the running program.
  std::string winehostdir;
  // How long a started relay may take to connect.
  std::chrono::milliseconds connectwait{relayconnectwait};
  // With a watcher, a call written to an idle relay by call() has its answer
  // read and delivered by the calling thread, without waking the worker:
  // call() waits up to `meetwait` for it, and past that the watch runs once
  // it arrives. It goes through `deliver` then, or `send` without one, on
  // that thread. Empty: the worker reads every answer.
  readwatcher watch{};
  // Delivers an answer to the page at once, on the calling thread, within
  // what that thread is doing. With it, the calling thread waits a moment for
  // the answer of a call it has just given an idle in-process plugin, and
  // delivers that answer itself: it then leaves with the page channel's
  // reply to the request instead of after it, and the page wakes once.
  // Empty: every in-process answer goes through `send`.
  std::function<void(pagemessage)> deliver{};
  // How long the calling thread waits for that answer (or a relay's, see
  // `watch`); past it, the worker sends the answer through `send` (or the
  // watch delivers the relay's). Long enough for an idle worker to wake
  // and echo; a slower plugin costs the calling thread no more than this.
  std::chrono::microseconds meetwait{200};
  // Runs work on the calling thread once what it is doing now (delivering an
  // answer) is done: the debug lines of a call answered there are written
  // after the answer has gone. Empty: written at once.
  std::function<void(std::function<void()>)> later{};
  // A library built for this machine goes through the relay too, rather than
  // being loaded here (the benchmark's relay built for this machine).
  bool relayall = false;
};

// The page's answer to a plugin call: its request id and the plugin's result.
inline pagemessage callcompleted(std::string tag, std::string result) {
  // Moved in: a braced list would copy the result, which may be large.
  std::vector<pagemessage::value> args;
  args.reserve(2);
  args.emplace_back(std::move(tag));
  args.emplace_back(std::move(result));
  return pagemessage(std::string(msg::qxpcallcompleted), std::move(args));
}

class debuglines;
// The trace of a relayed call: its function and argument text, then its
// answer. The texts are escaped: neither the page nor the plugin may forge a
// line.
void tracerelaycall(debuglines &trace, std::string_view fn, std::string_view data);
void tracerelayanswer(debuglines &trace, std::string_view reply);

// A native plugin: its calls, its worker thread and, while it is served, the
// loaded library or the socket to its relay. Made on the UI thread; calls
// are queued there and made one at a time on the worker. The 1024 nodes of
// the call store live inside the object, so queuing allocates only the texts.
class alignas(64) qxp {
 public:
  static constexpr std::size_t capacity = 1024;

  explicit qxp(std::uint32_t number);
  // Stops the worker (after its current call) and waits for it. Owners
  // destroy a plugin only once workerended() (see qxprelease).
  ~qxp();
  qxp(const qxp &) = delete;
  qxp &operator=(const qxp &) = delete;

  // UI thread: queues a call. False when the store is full and the call was
  // dropped; the worker is woken either way. A relayed call that finds the
  // relay idle is written to its socket here, so that it does not wait for
  // the worker to wake: the worker only reads its answer, or with a watcher
  // (qxpenv::watch) the calling thread does, at first here, and the worker
  // is not woken.
  bool call(const std::string &requestid, const std::string &fn, const std::string &data);
  // UI thread: queues the stop item. Being the newest item, it is taken
  // before any call still waiting, and those calls are never made.
  void fini();
  // UI thread: starts the worker on the open plugin file. Once only, and
  // never once closed.
  void start(pluginfile library, qxpenv environment);
  // The same with the file at `path`, opened now.
  void start(const std::string &path, qxpenv environment);
  bool started() const { return running; }
  // UI thread: the worker has returned (or was never started), so nothing
  // but the owner uses the object any more.
  bool workerended() const { return !running || ended.load(std::memory_order_acquire); }
  // Waits until the worker has ended.
  void join();
  // UI thread, once the program is ending: from now on the worker's answers
  // are dropped (an answer being delivered is waited for), and once the
  // call it is in returns it makes no further call, "fini" included, and
  // leaves the library loaded: it must not run plugin code while the
  // program's parts are being destroyed.
  void close();

  // Worker: checks the library's machine and serves it in-process or relayed.
  void run();
  // Worker: loads the library here and calls its handleCall.
  void runinprocess();
  // Worker: serves the library through a modrelay process over a socket.
  // `launcher`: the command words that start the relay, before its socket
  // and library arguments; empty: modrelay.
  void runthroughpipe(const std::vector<std::string> &launcher = {});
  // Worker: serves a Windows (PE) library through orvawinehost under Wine.
  void runthroughwine(bool is64);

  void *module = nullptr;  // the library while served in-process
  ownedfd pipe;            // the socket to the relay while relayed
  std::string url;         // as the page gave it
  std::string loadtag;     // request id of the load that made the object
  const std::uint32_t id;  // plugin number, from 1
  boost::interprocess::interprocess_semaphore pending{0};
  boost::lockfree::stack<qxpcall, boost::lockfree::capacity<capacity>> calls;
  boost::thread_group workers;

 private:
  // Blocks until an item is in the store and takes the newest; a call that
  // call() has sent to the relay comes before any of them.
  qxpcall take();
  // call(): sends the call to the relay when nothing is at the relay and
  // nothing is queued; false when it must be queued instead.
  bool senddirect(const std::string &requestid, const std::string &fn, const std::string &data);
  // Worker: from now on call() may write to the relay's socket `fd`; -1:
  // no longer (before the socket is closed).
  void setdirect(int fd);
  // Worker: the relay has answered the item taken last (or it was never
  // sent), so call() may send the next call while the worker still delivers
  // and logs this one.
  void relayfree();
  // Calling thread, from the watch: reads and delivers the answer of the
  // call that call() sent, or leaves a failed read to the worker.
  void answerready();
  // Sends the answer to the page, or hands it to the calling thread waiting
  // for it; false once the plugin is closed (nothing sent). `oncaller`: made
  // on the calling thread, which delivers it at once where it can.
  bool answer(const std::string &tag, std::string result, bool oncaller = false);
  // Calling thread: waits up to env.meetwait for the answer of the call just
  // queued (see `meet`) and delivers it; past that, the worker sends it.
  void awaitanswer();
  bool closed() const { return shut.load(); }
  // The library as the worker opens it: its descriptor's /proc path.
  std::string loadpath() const;

  qxpenv env;
  // Open until the object ends: a library loaded as /proc/self/fd/N is known
  // to the loader by that name, so the number must not be reused while the
  // library may still be loaded.
  pluginfile file;
  bool running = false;
  // Set by the worker as its last step.
  std::atomic<bool> ended{false};
  // close() and answer(): the worker counts itself in before it looks at
  // `shut`, close() sets `shut` before it looks at the count (both
  // sequentially consistent), so no answer starts after close() returns.
  std::atomic<bool> shut{false};
  std::atomic<int> answering{0};
  // Calls sent by call() itself. At most one call is ever at the relay: call()
  // sends only when nothing is queued and nothing is at the relay, the
  // worker sends only what it took, and it takes a call call() sent before
  // any queued item, so the answer read next is always that of the call it
  // holds.
  // The largest message call() writes itself: one that fits an idle socket's
  // buffer at once.
  static constexpr std::size_t directmsglimit = 64 * 1024;
  std::mutex direct;
  int directfd = -1;                // guarded by `direct`
  bool atrelay = false;             // guarded by `direct`: an item taken, not yet answered
  std::optional<qxpcall> sentcall;  // guarded by `direct`
  // guarded by `direct`: the calling thread reads the answer of `sentcall`;
  // meanwhile the worker takes nothing and the relay's socket is not its own.
  bool callerreads = false;
  // The relay's answers, read by the worker or, while `callerreads`, by the
  // calling thread (set by the worker before the relay is made direct).
  std::optional<pipereader> replies;
  // The calling thread waiting for the answer of the one call it has just
  // queued to an idle in-process worker: `meettag` is written by the caller
  // before it sets `callerwaits`; the worker that moves `callerwaits` on to
  // `workeranswers` owns the meeting, writes `meetanswer` and sets
  // `answerhanded`. A caller that stops waiting takes `callerwaits` back to
  // `nomeeting` first, and the worker then sends the answer as usual.
  enum meeting : int { nomeeting, callerwaits, workeranswers, answerhanded };
  std::atomic<int> meet{nomeeting};
  std::string meettag;
  std::string meetanswer;
  // Set by the worker: it calls the library in this process, and is in a
  // call (between taking it and answering it).
  std::atomic<bool> inprocess{false};
  std::atomic<bool> busy{false};
  // Calling thread only: the watch on the relay's socket and its descriptor.
  std::unique_ptr<readwatch> watch;
  int watchedfd = -1;
};
