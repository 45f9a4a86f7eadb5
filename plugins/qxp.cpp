#include "plugins/qxp.h"

#include <dlfcn.h>

#include <exception>

#include "common/debuglog.h"
#include "protocol/handlecall.h"
#include "protocol/machinecheck.h"

qxp::qxp(std::uint32_t number) : id(number) {}

qxp::~qxp() {
  fini();
  join();
}

bool qxp::call(const std::string &requestid, const std::string &fn, const std::string &data) {
  const bool queued = calls.push(qxpcall{fn, data, requestid, false});
  pending.post();
  return queued;
}

void qxp::fini() {
  calls.push(qxpcall{{}, {}, {}, true});
  pending.post();
}

void qxp::start(const std::string &path, qxpenv environment) {
  if (running) return;
  running = true;
  env = std::move(environment);
  workers.create_thread([this, path] {
    run(path);
    ended.store(true, std::memory_order_release);
  });
}

void qxp::join() { workers.join_all(); }

qxpcall qxp::take() {
  qxpcall item;
  while (!calls.pop(item)) pending.wait();
  return item;
}

void qxp::answer(const std::string &tag, std::string result) const {
  if (env.send) env.send(pagemessage(std::string(msg::qxpcallcompleted), {tag, std::move(result)}));
}

void qxp::run(const std::string &path) {
  bool native;
  try {
    native = is64bitdll(path);
  } catch (const std::exception &e) {
    debugout("qxp::run " + path + ": " + e.what() + "; the plugin is neither loaded nor bridged");
    return;
  }
  if (native)
    runinprocess(path);
  else
    runthroughpipe(path);
}

void qxp::runinprocess(const std::string &path) {
  module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char *why = ::dlerror();
    debugout("qxp::runinprocess cannot load " + path + ": " + (why ? why : ""));
    return;
  }
  auto handlecall = reinterpret_cast<handlecallfn>(::dlsym(module, handlecallname));
  if (!handlecall) {
    debugout("qxp::runinprocess no handleCall in " + path);
    ::dlclose(module);
    module = nullptr;
    return;
  }

  handlecall(inicall, "");
  for (;;) {
    const qxpcall item = take();
    if (item.fini) break;
    // The result is copied before the plugin is called again.
    const char *result = handlecall(item.fn.c_str(), item.data.c_str());
    answer(item.tag, result ? std::string(result) : std::string());
  }
  handlecall(finicall, "");
  ::dlclose(module);
  module = nullptr;
}
