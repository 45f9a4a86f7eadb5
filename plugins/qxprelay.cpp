#include "common/debuglog.h"
#include "common/paths.h"
#include "plugins/qxp.h"
#include "plugins/relayprocess.h"
#include "protocol/relayframe.h"
#include "protocol/relaymessage.h"

namespace {

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

}  // namespace

void tracerelaycall(debuglines &trace, std::string_view fn, std::string_view data) {
  trace.add("qxp::runthroughpipe send msg");
  trace.addloggable(fn);
  trace.addloggable(data);
}

void tracerelayanswer(debuglines &trace, std::string_view reply) {
  trace.add("qxp::runthroughpipe got msg");
  trace.addloggable(reply);
}

void qxp::runthroughpipe(const std::vector<std::string> &launcher) {
  debugout("qxp::runthroughpipe");
  relaylistener listener;
  if (!listener.open(env.socketdir.empty() ? runtimedir() : env.socketdir, relaysocketprefix)) {
    debugout("qxp::runthroughpipe bad");
    return;
  }
  debugout("qxp::runthroughpipe will lanuch");

  std::vector<std::string> argv = launcher;
  std::string program = env.relaypath;
  if (argv.empty() && program.empty()) {
    const std::string programdir = exedirof(executablepath());
    if (programdir.empty()) {
      debugout("qxp::runthroughpipe cannot find the program's own directory");
      return;
    }
    program = programdir + "/modrelay";
  }
  if (argv.empty()) argv.push_back(program);
  // The relay gets the library's descriptor as its descriptor 3 and loads it
  // through that, so it serves the very file this worker checked.
  const std::string library = "/proc/self/fd/3";
  argv.push_back(listener.path());
  argv.push_back(library);
  std::string line;
  for (const auto &word : argv) line += (line.empty() ? "" : " ") + quoted(word);
  debugout(line + " (" + file.path + ")");

  relayprocess relay;
  if (!relay.spawn(argv, file.fd.get())) {
    debugout("qxp::runthroughpipe failed to launch bridge");
    return;
  }
  int exitcode = 0;
  if (relay.waitexit(std::chrono::milliseconds(250), exitcode)) {
    debugout("Child exited quickly with code " + std::to_string(exitcode));
    return;
  }

  debugout("qxp::runthroughpipe wait for connect");
  relaylistener::outcome why;
  pipe = listener.acceptfrom(relay, env.connectwait, why, exitcode);
  if (!pipe) {
    if (why == relaylistener::outcome::exited)
      debugout("qxp::runthroughpipe bridge exited with code " + std::to_string(exitcode) + " before connecting");
    else
      debugout("qxp::runthroughpipe pipe didn't connect");
    relay.stop();
    return;
  }

  // A relay that has gone (crashed, or ended by a call named "fini") gets no
  // more messages; every call taken afterwards is answered empty at once.
  bool alive = true;
  auto relaygone = [&] {
    debugout("qxp::runthroughpipe bridge has gone; later calls get empty results");
    alive = false;
    setdirect(-1);
    pipe.reset();
    relay.stop();
  };
  // call() writes to the socket only while it is open and this function runs.
  struct nodirect {
    qxp &plugin;
    ~nodirect() { plugin.setdirect(-1); }
  } directends{*this};

  std::string reply;
  replies.emplace(pipe.get());
  debugout("qxp::runthroughpipe send ini");
  if (!writepipemsg(pipe.get(), relayini) || !replies->next(reply))
    relaygone();
  else
    setdirect(pipe.get());

  for (;;) {
    const qxpcall item = take();
    // Once closed, the relay is left to end with the program, without "fini".
    if (closed()) return;
    if (item.fini) break;
    if (!alive) {
      relayfree();
      answer(item.tag, {});
      continue;
    }
    const std::string_view fn = calltext(item.fn), data = calltext(item.data);
    bool sent = item.sent;
    if (!sent) {
      const std::string message = callmessage(fn, data);
      // The relay would refuse the frame and end: only this call fails.
      if (message.size() > maxrelaymsg) {
        debugout("qxp::runthroughpipe call " + loggable(fn) + " of " + std::to_string(message.size()) +
                 " bytes is larger than a relay message; answered empty");
        relayfree();
        answer(item.tag, {});
        continue;
      }
      sent = writepipemsg(pipe.get(), message);
    }
    // Each call's trace is written where it costs the call nothing: the
    // call's lines while the relay works on it, the answer's lines once the
    // page has the answer.
    {
      debuglines trace;
      tracerelaycall(trace, fn, data);
    }
    if (!sent || !replies->next(reply)) {
      reply.clear();
      relaygone();
    }
    relayfree();
    const bool open = answer(item.tag, reply);
    {
      debuglines trace;
      tracerelayanswer(trace, reply);
    }
    if (!open) return;
  }

  if (!alive) return;
  setdirect(-1);
  // The relay answers relayfini with "ok", which is not read; it then calls
  // the plugin's "fini" and ends by itself. It gets a moment to do so here,
  // so that it is reaped, but is not killed.
  writepipemsg(pipe.get(), relayfini);
  pipe.reset();
  relay.waitexit(std::chrono::milliseconds(5000), exitcode);
}
