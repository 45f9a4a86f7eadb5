// The program's right-click menu on the real program: the clipboard commands
// by edit state, the debug windows, the debug logging switches observed in
// the page's console (copied to the debug output), and Exit.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { fakeservice, app, sleep, until, xdotool, mainwindowid, geometry, isviewable, clipboard, activate } =
  require('./lib/harness');

// The main window's client area starts at (1120, 430) on the test screen.
const origin = { x: 1120, y: 430 };
const at = (x, y) => [String(origin.x + x), String(origin.y + y)];

// Pages run what the test sends them: each /next answer is a script.
function commandroute(service) {
  const queue = [];
  let waiting = null;
  service.route('/next', (req, res) => {
    const send = (code) => { res.writeHead(200, { 'Content-Type': 'text/javascript' }); res.end(code); };
    if (queue.length) send(queue.shift()); else waiting = send;
  });
  return (code) => { if (waiting) { const w = waiting; waiting = null; w(code); } else queue.push(code); };
}
const commandloop = `(async function () {
  for (;;) {
    const code = await (await fetch('/next')).text();
    try { await (0, eval)(code); } catch (e) { report({ error: String(e) }); }
  }
})();`;

// The id of the window with this title, once it is shown.
function window(title) {
  return until(() => { const id = mainwindowid(title); return id && isviewable(id) && id; }, 'the window ' + title);
}
function gone(title) {
  return until(() => !mainwindowid(title), 'the window ' + title + ' to close');
}
function running(program) {
  return program.proc.exitCode === null && program.proc.signalCode === null;
}
const count = (program, text) => program.lines.filter((l) => l === text).length;

const jssipmissing = 'console warning: %c[JsSIP Debug] JsSIP not found on this page color: orange; font-weight: bold';
const webrtcon = 'console: %c[WebRTC Debug] Logging enabled color: green; font-weight: bold';
const webrtcoff = 'console: %c[WebRTC Debug] Logging disabled - new connections will not be instrumented ' +
  'color: orange; font-weight: bold';

test('menu on a page without JsSIP: clipboard by edit state, debug windows, Exit', async (t) => {
  const service = await new fakeservice().start();
  service.page(`<title>menu</title>
    <style>body { margin: 0; height: 100vh } input { position: absolute; left: 20px; width: 300px; font-size: 20px }</style>
    <input id=src value="hello menu" style="top: 20px"><input id=dst style="top: 80px">
    <script>
      for (const id of ['src', 'dst']) {
        const field = document.getElementById(id);
        field.addEventListener('input', () => report({ [id]: field.value }));
      }
      report({ loaded: true });
    </script>`);
  const program = new app({ origin: service.origin }).start();
  const choose = (point, ...keys) => program.choose(point, ...keys);
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.loaded);
  await window('orvalink Desktop for Windows');

  await t.test('Cut on a selection in a field, Paste into an empty field (disabled items are skipped)', async () => {
    // Select the field's text with the mouse, then cut: Cut is the first item.
    xdotool('mousemove', ...at(25, 35));
    xdotool('click', '--repeat', '3', '--delay', '80', '1');
    await choose(at(100, 35), 'Down', 'Return');
    await service.report((r) => r.src === '');
    assert.equal(clipboard(), 'hello menu');
    // An empty field: Cut and Copy are disabled, so the first item reached is Paste.
    await choose(at(100, 95), 'Down', 'Return');
    await service.report((r) => r.dst === 'hello menu');
  });

  await t.test('JsSIP logging without JsSIP warns, and the switch still flips on every choice', async () => {
    const body = at(400, 400);
    await choose(body, 'j');
    await program.line(new RegExp('^' + jssipmissing.replace(/[[\]()%.]/g, '\\$&') + '$'));
    await choose(body, 'j');
    await sleep(800);
    assert.equal(count(program, jssipmissing), 1, 'switching off runs the disable script, which is silent');
    await choose(body, 'j');
    await until(() => count(program, jssipmissing) === 2, 'the warning after switching on again');
    assert.ok(!program.lines.some((l) => l.includes('[JsSIP Debug] Logging')));
  });

  let devtools;
  await t.test('in a read-only area the first enabled item is Show DevTools: a DevTools window opens', async () => {
    await choose(at(400, 400), 'Down', 'Return');
    devtools = await window('DevTools');
    await program.line(/^devtools:\/\/devtools\//);
    const g = geometry(devtools);
    assert.ok(g.width >= 400 && g.height >= 300, JSON.stringify(g));
  });

  let internals;
  await t.test('WebRTC Internals opens chrome://webrtc-internals in its own window', async () => {
    await choose(at(400, 400), 'w');
    internals = await window('WebRTC Internals');
    await program.line(/^chrome:\/\/webrtc-internals\/?$/);
  });

  await t.test('Exit in the WebRTC Internals window closes only that window', async () => {
    const g = geometry(internals);
    await choose([String(g.x + Math.floor(g.width / 2)), String(g.y + Math.floor(g.height / 2))], 'e');
    await gone('WebRTC Internals');
    await sleep(500);
    assert.ok(running(program));
    assert.ok(mainwindowid('DevTools'));
  });

  await t.test('closing the DevTools window with the window manager leaves the program running', async () => {
    await activate(devtools);
    xdotool('key', 'alt+F4');
    await gone('DevTools');
    await sleep(500);
    assert.ok(running(program));
  });

  await t.test('the main page still gets its menu; its Exit ends the program through the shutdown', async () => {
    await choose(at(400, 400), 'l');
    await program.line(new RegExp('^' + webrtcon.replace(/[[\]()%.;]/g, '\\$&') + '$'));
    await choose(at(400, 400), 'e');
    const exit = await Promise.race([program.exited, sleep(15000).then(() => null)]);
    assert.deepEqual(exit, { code: 0, signal: null });
    assert.ok(program.lines.includes('shutdown: application state released'));
  });
});

// A loopback pair of connections in the page: offer, answer and candidates
// exchanged directly, resolved once both are connected.
const pairscript = (label) => `(async () => {
  const a = new RTCPeerConnection({ iceServers: [] });
  const b = new RTCPeerConnection();
  a.onicecandidate = (e) => e.candidate && b.addIceCandidate(e.candidate);
  b.onicecandidate = (e) => e.candidate && a.addIceCandidate(e.candidate);
  a.createDataChannel('probe');
  await a.setLocalDescription(await a.createOffer());
  await b.setRemoteDescription(a.localDescription);
  await b.setLocalDescription(await b.createAnswer());
  await a.setRemoteDescription(b.localDescription);
  const connected = (pc) => pc.connectionState === 'connected' ||
    new Promise((r) => pc.addEventListener('connectionstatechange', () => pc.connectionState === 'connected' && r()));
  await Promise.all([connected(a), connected(b)]);
  window.pairs = (window.pairs || []).concat([a, b]);
  report({ pair: ${JSON.stringify(label)} });
})()`;

test('WebRTC and JsSIP logging in a page with a loopback call and a JsSIP stand-in', async (t) => {
  const service = await new fakeservice().start();
  const run = commandroute(service);
  service.page(`<title>webrtc</title><style>body { margin: 0; height: 100vh }</style><script>
    window.JsSIP = { debug: {
      enable: (ns) => report({ jssip: 'enable', ns }),
      disable: (ns) => report({ jssip: 'disable', ns }),
    } };
    report({ loaded: true });
    ${commandloop}
  </script>`);
  const program = new app({ origin: service.origin }).start();
  const choose = (point, ...keys) => program.choose(point, ...keys);
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.loaded);
  await window('orvalink Desktop for Windows');
  const body = at(400, 400);
  const created = () => program.lines.filter((l) => /^console: \[WebRTC-[0-9a-z]{6}\] new RTCPeerConnection /.test(l));
  const tagof = (line) => line.slice('console: '.length, line.indexOf(']') + 2);

  let tags;
  await t.test('enabled: each new connection is traced with creation, ICE, states, descriptions, statistics', async () => {
    await choose(body, 'l');
    await program.line(new RegExp('^' + webrtcon.replace(/[[\]()%.;]/g, '\\$&') + '$'));
    run(pairscript('first'));
    await service.report((r) => r.pair === 'first');
    const lines = created();
    assert.equal(lines.length, 2);
    assert.equal(lines[0].slice(lines[0].indexOf('new RTCPeerConnection')), 'new RTCPeerConnection {"iceServers":[]}');
    assert.match(lines[1], /new RTCPeerConnection undefined$/);
    tags = lines.map(tagof);
    const [offerer, answerer] = tags;
    for (const re of [
      `^console: ${offerer}setLocalDescription type=offer setup=actpass fingerprint-algo=sha-256$`,
      `^console: ${offerer}LOCAL SDP:\\\\nv=0\\\\r\\\\n`,
      `^console: ${answerer}setRemoteDescription type=offer setup=actpass fingerprint-algo=sha-256$`,
      `^console: ${answerer}setLocalDescription type=answer setup=active fingerprint-algo=sha-256$`,
      `^console: ${offerer}setRemoteDescription type=answer setup=active fingerprint-algo=sha-256$`,
      `^console: ${offerer}REMOTE SDP:\\\\nv=0`,
      `^console: ${offerer}signalingState: have-local-offer$`,
      `^console: ${offerer}ICE candidate: host udp \\S+:\\d+$`,
      `^console: ${answerer}addIceCandidate: candidate:`,
      `^console: ${offerer}iceGatheringState: complete$`,
      `^console: ${offerer}ICE gathering complete$`,
      `^console: ${offerer}iceConnectionState: connected$`,
      `^console: ${answerer}connectionState: connected$`,
      `^console: ${offerer}transport: dtlsState=connected dtlsRole=(client|server|n\\/a) dtlsCipher=\\S+ tlsVersion=\\S+ ` +
        'localCertId=\\S+ selectedCandidatePairChanges=\\d+$',
      `^console: ${answerer}nominated pair: local=\\S+ remote=\\S+ state=succeeded rtt=\\S+$`,
    ]) {
      await program.line(new RegExp(re.replace(/\[WebRTC/g, '\\[WebRTC').replace(/\] /g, '\\] ')), 8000);
    }
  });

  await t.test('disabled: the orange line, and a new call is not traced', async () => {
    await choose(body, 'l');
    await program.line(new RegExp('^' + webrtcoff.replace(/[[\]()%.;]/g, '\\$&') + '$'));
    run(pairscript('quiet'));
    await service.report((r) => r.pair === 'quiet');
    await sleep(500);
    assert.equal(created().length, 2);
  });

  await t.test('enabled again: new calls are traced again, once each', async () => {
    await choose(body, 'l');
    await until(() => count(program, webrtcon) === 2, 'the second enabled line');
    run(pairscript('again'));
    await service.report((r) => r.pair === 'again');
    await until(() => created().length === 4, 'two more traced connections');
    const newtags = created().slice(2).map(tagof);
    assert.ok(!newtags.some((tag) => tags.includes(tag)));
  });

  await t.test('JsSIP logging with JsSIP: enable then disable with the namespace pattern', async () => {
    await choose(body, 'j');
    await service.report((r) => r.jssip === 'enable' && r.ns === 'JsSIP:*');
    await program.line(/^console: %c\[JsSIP Debug\] Logging enabled color: green; font-weight: bold$/);
    await choose(body, 'j');
    await service.report((r) => r.jssip === 'disable' && r.ns === 'JsSIP:*');
    await program.line(/^console: %c\[JsSIP Debug\] Logging disabled color: orange; font-weight: bold$/);
  });

  await t.test('a switch chosen in the WebRTC Internals window runs its script in that window\'s page', async () => {
    await choose(body, 'w');
    const id = await window('WebRTC Internals');
    await program.line(/^chrome:\/\/webrtc-internals\/?$/);
    const g = geometry(id);
    const middle = [String(g.x + Math.floor(g.width / 2)), String(g.y + Math.floor(g.height / 2))];
    await choose(middle, 'j');
    await program.line(new RegExp('^' + jssipmissing.replace(/[[\]()%.;]/g, '\\$&') + '$'));
    assert.equal(service.reports.filter((r) => r.jssip === 'enable').length, 1, 'the main page\'s JsSIP is untouched');
    await choose(middle, 'e');
    await gone('WebRTC Internals');
  });

  await t.test('after a DevTools window closed, the tray\'s Exit still ends the program', async () => {
    await choose(body, 's');
    const id = await window('DevTools');
    await activate(id);
    xdotool('key', 'alt+F4');
    await gone('DevTools');
    const { code } = await program.stop();
    assert.equal(code, 0);
  });
});
