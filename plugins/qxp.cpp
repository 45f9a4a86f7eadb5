#include "plugins/qxp.h"

#include <dlfcn.h>
#include <fcntl.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>

#include "common/debuglog.h"
#include "common/spinwait.h"
#include "plugins/winerelay.h"
#include "protocol/handlecall.h"
#include "protocol/machinecheck.h"
#include "protocol/relayframe.h"
#include "protocol/relaymessage.h"

qxp::qxp(std::uint32_t number) : id(number) {}

qxp::~qxp() {
  fini();
  join();
}

bool qxp::call(const std::string &requestid, const std::string &fn, const std::string &data) {
  bool queued = true;
  bool wait = false;
  bool readshere = false;
  {
    std::lock_guard<std::mutex> lock(direct);
    if (!senddirect(requestid, fn, data)) {
      // Only a call the worker takes at once is waited for.
      wait = env.deliver && inprocess.load(std::memory_order_acquire) && !busy.load(std::memory_order_acquire) &&
             calls.empty() && !closed();
      if (wait) {
        meettag = requestid;
        meet.store(callerwaits, std::memory_order_release);
      }
      queued = calls.push(qxpcall{fn, data, requestid, false, false});
    } else {
      readshere = callerreads;
    }
  }
  if (readshere) {
    // The relay answers within microseconds: met here, the answer leaves
    // with what this thread is doing (the page channel's reply), and no
    // sleeping thread has to be woken for it. The wait reads the answer as
    // it finds it.
    if (replies->arrivedwithin(env.meetwait)) answerready();
    return true;
  }
  pending.post();
  if (wait) awaitanswer();
  return queued;
}

void qxp::awaitanswer() {
  const auto until = std::chrono::steady_clock::now() + env.meetwait;
  int state;
  // Yielding rather than spinning: a worker woken on this core runs at once.
  while ((state = meet.load(std::memory_order_acquire)) != answerhanded) {
    if (state == callerwaits && std::chrono::steady_clock::now() >= until) {
      int expected = callerwaits;
      if (meet.compare_exchange_strong(expected, nomeeting)) return;
    }
    std::this_thread::yield();
  }
  pagemessage m = callcompleted(std::move(meettag), std::move(meetanswer));
  meet.store(nomeeting, std::memory_order_release);
  env.deliver(std::move(m));
}

bool qxp::senddirect(const std::string &requestid, const std::string &fn, const std::string &data) {
  if (directfd < 0 || atrelay || !calls.empty()) return false;
  const std::string message = callmessage(fn, data);
  // Larger calls are left to the worker: the UI thread never waits for the
  // relay to make room in the socket.
  if (message.size() > directmsglimit) return false;
  // A failed write leaves the call to the worker, which finds the relay gone.
  if (!writepipemsg(directfd, message)) return false;
  atrelay = true;
  sentcall = qxpcall{fn, data, requestid, false, true};
  if (env.watch) {
    if (!watch || watchedfd != directfd) {
      watch = env.watch(directfd, [this] { answerready(); });
      watchedfd = directfd;
    }
    callerreads = watch != nullptr;
    if (watch) watch->on(true);
  }
  return true;
}

void qxp::answerready() {
  {
    std::lock_guard<std::mutex> lock(direct);
    if (!callerreads) {
      watch->on(false);
      return;
    }
  }
  // Only the call at the relay is answered: its answer is all there is to
  // read. Nothing else is taken until it is delivered, so answers keep the
  // order of their calls.
  std::string reply;
  const bool got = replies->next(reply);
  qxpcall &item = *sentcall;
  const bool open = got && answer(item.tag, reply, true);
  if (open) {
    // The lines are made, not only written, once the answer has gone: making
    // a large call's lines safe for the log costs more than the call.
    auto lines = [fn = std::move(item.fn), data = std::move(item.data), reply = std::move(reply)] {
      debuglines trace;
      tracerelaycall(trace, calltext(fn), calltext(data));
      tracerelayanswer(trace, reply);
    };
    if (env.later)
      env.later(std::move(lines));
    else
      lines();
  }
  bool wake;
  {
    std::lock_guard<std::mutex> lock(direct);
    callerreads = false;
    watch->on(false);
    // A failed read is the worker's: it finds the relay gone and answers
    // the call, as for any call it sent itself.
    if (got) {
      sentcall.reset();
      atrelay = false;
    }
    wake = !got || !calls.empty();
  }
  if (wake) pending.post();
}

void qxp::setdirect(int fd) {
  std::lock_guard<std::mutex> lock(direct);
  directfd = fd;
}

void qxp::relayfree() {
  std::lock_guard<std::mutex> lock(direct);
  atrelay = false;
}

void qxp::fini() {
  {
    std::lock_guard<std::mutex> lock(direct);
    calls.push(qxpcall{{}, {}, {}, true, false});
  }
  pending.post();
}

void qxp::start(pluginfile library, qxpenv environment) {
  // A plugin closed before its download ended is never started.
  if (running || closed()) return;
  running = true;
  env = std::move(environment);
  file = std::move(library);
  workers.create_thread([this] {
    run();
    ended.store(true, std::memory_order_release);
  });
}

void qxp::start(const std::string &path, qxpenv environment) {
  start(pluginfile{ownedfd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), path}, std::move(environment));
}

void qxp::join() { workers.join_all(); }

void qxp::close() {
  shut.store(true);
  // Wakes a worker that waits for work, so that it ends.
  fini();
  while (answering.load() != 0) std::this_thread::yield();
}

qxpcall qxp::take() {
  qxpcall item;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(direct);
      if (callerreads) {
        // The calling thread reads the answer of the call at the relay;
        // nothing is taken meanwhile, unless the plugin is closed.
        if (closed()) return qxpcall{{}, {}, {}, true, false};
      } else if (sentcall) {
        item = std::move(*sentcall);
        sentcall.reset();
        return item;
      } else if (calls.pop(item)) {
        atrelay = true;
        return item;
      }
    }
    // Awake for a while first, as the relay waits for its calls.
    if (!spinuntil(callspin, [this] { return pending.try_wait(); })) pending.wait();
  }
}

bool qxp::answer(const std::string &tag, std::string result, bool oncaller) {
  answering.fetch_add(1);
  const bool open = !shut.load();
  // A caller waiting for another call (this worker still held an earlier
  // one when it began to wait) keeps waiting.
  bool handed = false;
  int expected = callerwaits;
  if (open && meet.compare_exchange_strong(expected, workeranswers)) {
    handed = tag == meettag;
    if (handed) meetanswer = std::move(result);
    meet.store(handed ? answerhanded : callerwaits, std::memory_order_release);
  }
  const auto &sink = oncaller && env.deliver ? env.deliver : env.send;
  if (open && !handed && sink) sink(callcompleted(tag, std::move(result)));
  answering.fetch_sub(1);
  return open;
}

std::string qxp::loadpath() const { return "/proc/self/fd/" + std::to_string(file.fd.get()); }

void qxp::run() {
  bool native;
  try {
    if (!file.fd) throw std::runtime_error("Cannot open file");
    native = is64bitdll(loadpath());
  } catch (const std::exception &e) {
    debugout("qxp::run " + file.path + ": " + e.what() + "; the plugin is neither loaded nor bridged");
    return;
  }
  if (ispefile(loadpath()))
    runthroughwine(native);
  else if (native && !env.relayall)
    runinprocess();
  else
    runthroughpipe();
}

void qxp::runinprocess() {
  // Loaded through the descriptor: the library is the file that was opened
  // (and checked), even if its name now leads elsewhere.
  module = ::dlopen(loadpath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char *why = ::dlerror();
    debugout("qxp::runinprocess cannot load " + file.path + ": " + (why ? why : ""));
    return;
  }
  auto handlecall = reinterpret_cast<handlecallfn>(::dlsym(module, handlecallname));
  if (!handlecall) {
    debugout("qxp::runinprocess no handleCall in " + file.path);
    ::dlclose(module);
    module = nullptr;
    return;
  }

  // Once closed, no further plugin call: the library stays loaded.
  handlecall(inicall, "");
  inprocess.store(true, std::memory_order_release);
  for (;;) {
    const qxpcall item = take();
    if (closed()) return;
    if (item.fini) break;
    busy.store(true, std::memory_order_release);
    // The result is copied before the plugin is called again.
    const char *result = handlecall(item.fn.c_str(), item.data.c_str());
    std::string text = result ? std::string(result) : std::string();
    // Idle before the answer goes out: a call made once the page has it finds
    // the worker free, and may wait for its answer (see call()).
    busy.store(false, std::memory_order_release);
    if (!answer(item.tag, std::move(text))) return;
  }
  handlecall(finicall, "");
  ::dlclose(module);
  module = nullptr;
}
