// The program starts against the service, places its window, loads the start
// page with its own user agent, and ends through the shutdown sequence.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { spawn, execFileSync } = require('node:child_process');
const { fakeservice, app, sleep, until, mainwindowid, geometry, trayiconid } = require('./lib/harness');

// The parent of a process, or 0.
function parentof(pid) {
  try {
    const stat = fs.readFileSync('/proc/' + pid + '/stat', 'utf8');
    return Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
  } catch {
    return 0;
  }
}

function descends(pid, ancestor) {
  for (let p = Number(pid); p > 1; p = parentof(p)) if (p === ancestor) return true;
  return false;
}

// Command lines of the renderer processes of the program `root`.
function renderers(root) {
  const out = [];
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    if (!descends(pid, root)) continue;
    try {
      // Chromium rewrites its processes' titles: arguments may be joined by spaces.
      const args = fs.readFileSync('/proc/' + pid + '/cmdline', 'utf8').replace(/\0/g, ' ');
      if (args.includes(' --type=renderer ')) out.push(args);
    } catch { /* gone meanwhile */ }
  }
  return out;
}

test('start-up, start page, window placement and shutdown order', async (t) => {
  const service = await new fakeservice().start();
  service.page(`<title>console</title><script>report({ loaded: location.href, ua: navigator.userAgent,
    bridge: typeof winPos });</script>
    <iframe src="${service.origin.replace('127.0.0.1', 'localhost')}/foreign"></iframe>
    <iframe src="/own"></iframe>`);
  const framereport = `<script>fetch('/report', { method: 'POST', mode: 'no-cors',
    body: JSON.stringify({ frame: location.host, bridge: typeof winPos, copy: typeof winCopy }) });</script>`;
  service.route('/foreign', framereport);
  service.route('/own', framereport);
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });

  const loaded = await service.report((r) => r.loaded);
  await t.test('the start page is the origin plus /a/desktop/ with nothing appended', () => {
    assert.equal(loaded.loaded, service.origin + '/a/desktop/');
    const first = service.requests.find((r) => r.path === '/a/desktop/');
    assert.equal(first.url, '/a/desktop/');
  });
  await t.test('the whole User-Agent header is the program\'s own', () => {
    const first = service.requests.find((r) => r.path === '/a/desktop/');
    assert.equal(first.headers['user-agent'], 'vaVederorIduroru/1.1.8');
    assert.equal(loaded.ua, 'vaVederorIduroru/1.1.8');
  });
  await t.test('the service\'s frames get the native functions, frames of other origins do not', async () => {
    assert.equal(loaded.bridge, 'function');
    const own = await service.report((r) => r.frame && r.frame.startsWith('127.0.0.1'));
    assert.deepEqual([own.bridge, own.copy], ['function', 'function']);
    const foreign = await service.report((r) => r.frame && r.frame.startsWith('localhost'));
    assert.deepEqual([foreign.bridge, foreign.copy], ['undefined', 'undefined']);
  });
  await t.test('the window sits at the bottom-right corner of a 1920x1080 screen; its class is CEFCLIENT', async () => {
    const id = await until(() => mainwindowid(), 'the main window');
    const g = await until(() => { const g = geometry(id); return g.width === 800 ? g : null; }, 'its size');
    assert.deepEqual(g, { x: 1120, y: 430, width: 800, height: 650 });
    // The desktop entry's StartupWMClass names the same class.
    assert.equal(execFileSync('xprop', ['-id', id, 'WM_CLASS'], { encoding: 'utf8' }),
      'WM_CLASS(STRING) = "orvalink-desktop", "CEFCLIENT"\n');
  });
  await t.test('the engine runs with the seven switches, and media is not granted to every page', async () => {
    const text = program.lines.join('\n');
    assert.doesNotMatch(text, /use-fake-ui-for-media-stream/);
    for (const s of ['enable-media-stream', 'force-webrtc-ip-handling-policy default',
      'autoplay-policy no-user-gesture-required', 'disable-background-timer-throttling',
      'disable-renderer-backgrounding', 'disable-backgrounding-occluded-windows']) {
      assert.match(text, new RegExp('\\*  ' + s + ' '), s);
    }
    assert.match(text, /disable-features \S*MediaStreamDeviceEnumerationPermission,CalculateNativeWinOcclusion,WebRtcHideLocalIpsWithMdns/);
  });
  await t.test('renderers get the switches the engine passes on to them', () => {
    // The engine copies only some switches to a renderer; the others act in
    // the browser process (checked above).
    const all = renderers(program.proc.pid);
    assert.ok(all.length > 0);
    for (const args of all) {
      for (const s of ['--autoplay-policy=no-user-gesture-required', '--disable-background-timer-throttling']) {
        assert.ok(args.includes(s), s);
      }
      assert.match(args, /--disable-features=\S*MediaStreamDeviceEnumerationPermission/);
      assert.match(args, /--disable-features=\S*WebRtcHideLocalIpsWithMdns/);
    }
  });
  await t.test('the tray icon comes back when the tray restarts', async () => {
    await until(() => trayiconid(), 'the tray icon');
    // Only this run's window manager (tests/e2e/run says which).
    process.kill(Number(process.env.ORVA_E2E_WM_PID), 'SIGTERM');
    await until(() => !trayiconid(), 'the tray gone');
    spawn('icewm', [], { detached: true, stdio: 'ignore' }).unref();
    await until(() => trayiconid(), 'the tray icon back');
  });
  await t.test('Exit ends the program with the shutdown steps in order', async () => {
    const { code } = await program.stop();
    assert.equal(code, 0);
    const steps = program.lines.filter((l) => l.startsWith('shutdown: '));
    assert.deepEqual(steps, ['shutdown: stopping plugins', 'shutdown: stopping the sign-in listener',
      'shutdown: pause', 'shutdown: browser engine', 'shutdown: tray icon removed', 'shutdown: scripts closed',
      'shutdown: application state released']);
  });
  await t.test('a command posted with no program running says so and fails', async () => {
    const { code, err } = await program.command('105');
    assert.equal(code, 1);
    assert.match(err, /not running/);
  });
  await t.test('browser data lives in the data directory', () => {
    assert.ok(fs.existsSync(program.data + '/all/orvalink Desktop for Windows/Storage'));
  });
});
