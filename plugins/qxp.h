#pragma once

#include <atomic>
#include <boost/interprocess/sync/interprocess_semaphore.hpp>
#include <boost/lockfree/stack.hpp>
#include <boost/thread/thread.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "common/ownedfd.h"
#include "protocol/pagemessage.h"
#include "protocol/relayprogram.h"

// One call waiting for a plugin's worker.
struct qxpcall {
  std::string fn;     // function name passed to handleCall
  std::string data;   // argument text passed to handleCall
  std::string tag;    // request id echoed in "qxpCallCompleted"
  bool fini = false;  // the stop item; its texts are empty
};

// What a plugin worker needs from its surroundings.
struct qxpenv {
  // Delivers answers to the page; called on the worker thread.
  std::function<void(pagemessage)> send;
  // The relay program; empty: "modrelay" beside the running program.
  std::string relaypath;
  // Where relay sockets are made; empty: the runtime directory.
  std::string socketdir;
  // How long a started relay may take to connect.
  std::chrono::milliseconds connectwait{relayconnectwait};
};

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
  // dropped; the worker is woken either way.
  bool call(const std::string &requestid, const std::string &fn, const std::string &data);
  // UI thread: queues the stop item. Being the newest item, it is taken
  // before any call still waiting, and those calls are never made.
  void fini();
  // UI thread: starts the worker on the plugin file at `path`. Once only.
  void start(const std::string &path, qxpenv environment);
  bool started() const { return running; }
  // UI thread: the worker has returned (or was never started), so nothing
  // but the owner uses the object any more.
  bool workerended() const { return !running || ended.load(std::memory_order_acquire); }
  // Waits until the worker has ended.
  void join();

  // Worker: checks the library's machine and serves it in-process or relayed.
  void run(const std::string &path);
  // Worker: loads the library here and calls its handleCall.
  void runinprocess(const std::string &path);
  // Worker: serves the library through a modrelay process over a socket.
  void runthroughpipe(const std::string &path);

  void *module = nullptr;  // the library while served in-process
  ownedfd pipe;            // the socket to the relay while relayed
  std::string url;         // as the page gave it
  std::string loadtag;     // request id of the load that made the object
  const std::uint32_t id;  // plugin number, from 1
  boost::interprocess::interprocess_semaphore pending{0};
  boost::lockfree::stack<qxpcall, boost::lockfree::capacity<capacity>> calls;
  boost::thread_group workers;

 private:
  // Blocks until an item is in the store and takes the newest.
  qxpcall take();
  void answer(const std::string &tag, std::string result) const;

  qxpenv env;
  bool running = false;
  // Set by the worker as its last step.
  std::atomic<bool> ended{false};
};
