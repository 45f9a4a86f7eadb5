#include <unistd.h>

#include "common/debuglog.h"
#include "plugins/bridgeprocess.h"
#include "plugins/pipemsg.h"
#include "plugins/qxp.h"

namespace {

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

// Function names and argument texts travel only up to their first NUL.
std::string uptonul(const std::string &s) { return std::string(s.c_str()); }

}  // namespace

void qxp::runthroughpipe(const std::string &path) {
  debugout("qxp::runthroughpipe");
  bridgelistener listener;
  if (!listener.open(env.socketdir.empty() ? runtimedirectory() : env.socketdir,
                     pipebasename(pluginpipename))) {
    debugout("qxp::runthroughpipe bad");
    return;
  }
  debugout("qxp::runthroughpipe will lanuch");

  std::string relay = env.relaypath;
  if (relay.empty()) {
    const std::string programdir = programdirectory();
    if (programdir.empty()) {
      debugout("qxp::runthroughpipe cannot find the program's own directory");
      return;
    }
    relay = programdir + "/modrelay";
  }
  debugout(quoted(relay) + " " + quoted(listener.path()) + " " + quoted(path));

  bridgeprocess bridge;
  if (!bridge.spawn({relay, listener.path(), path})) {
    debugout("qxp::runthroughpipe failed to launch bridge");
    return;
  }
  int exitcode = 0;
  if (bridge.waitexit(std::chrono::milliseconds(250), exitcode)) {
    debugout("Child exited quickly with code " + std::to_string(exitcode));
    return;
  }

  debugout("qxp::runthroughpipe wait for connect");
  bridgelistener::outcome why;
  pipe = listener.acceptfrom(bridge, env.connectwait, why, exitcode);
  if (pipe < 0) {
    if (why == bridgelistener::outcome::exited)
      debugout("qxp::runthroughpipe bridge exited with code " + std::to_string(exitcode) +
               " before connecting");
    else
      debugout("qxp::runthroughpipe pipe didn't connect");
    bridge.stop();
    return;
  }

  // A bridge that has gone (crashed, or ended by a call named "fini") gets no
  // more messages; every call taken afterwards is answered empty at once.
  bool alive = true;
  auto bridgegone = [&] {
    debugout("qxp::runthroughpipe bridge has gone; later calls get empty results");
    alive = false;
    ::close(pipe);
    pipe = -1;
    bridge.stop();
  };

  std::string reply;
  debugout("qxp::runthroughpipe send ini");
  if (!writepipemsg(pipe, "ini|") || !readpipemsg(pipe, reply)) bridgegone();

  for (;;) {
    const qxpcall item = take();
    if (item.fini) break;
    if (!alive) {
      answer(item.tag, {});
      continue;
    }
    const std::string fn = uptonul(item.fn), data = uptonul(item.data);
    // Each call's trace takes two writes, one before it is sent and one when
    // it is answered: every write wakes whatever drains standard error.
    debugout({"qxp::runthroughpipe send msg", fn, data});
    if (!writepipemsg(pipe, fn + "|" + data) || !readpipemsg(pipe, reply)) {
      reply.clear();
      bridgegone();
    }
    debugout({"qxp::runthroughpipe got msg", reply});
    answer(item.tag, reply);
  }

  if (!alive) return;
  // The bridge answers "fini|" with "ok", which is not read; it then calls
  // the plugin's "fini" and ends by itself. It gets a moment to do so here,
  // so that it is reaped, but is not killed.
  writepipemsg(pipe, "fini|");
  ::close(pipe);
  pipe = -1;
  bridge.waitexit(std::chrono::milliseconds(5000), exitcode);
}
