// Desktop integration: --help and --version, a second start handing over to
// the running copy, --hotkey presses handed over, and telephone links (tel:, sip:, callto:) dialled by the
// page, whether the program is running or not.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { spawn, execFileSync } = require('node:child_process');
const { fakeservice, app, sleep, until, xdotool, mainwindowid, isviewable, root, exe, activate } =
  require('./lib/harness');

// Runs the program once more, as the desktop would; resolves with its exit
// code, output and how long it took.
function launch(args, env = process.env) {
  return new Promise((resolve) => {
    const start = Date.now();
    const p = spawn(exe, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    p.stdout.on('data', (c) => { out += c; });
    p.stderr.on('data', (c) => { err += c; });
    const timer = setTimeout(() => p.kill('SIGKILL'), 30000);
    p.on('exit', (code, signal) => {
      clearTimeout(timer);
      resolve({ code, signal, out, err, ms: Date.now() - start });
    });
  });
}

// The X11 id (decimal, as xdotool gives it) of the active window, or null.
function activewindow() {
  try {
    const m = /# (0x[0-9a-f]+)/.exec(execFileSync('xprop', ['-root', '_NET_ACTIVE_WINDOW'], { encoding: 'utf8' }));
    return m ? String(parseInt(m[1], 16)) : null;
  } catch {
    return null;
  }
}

// The page reports every makeCall with the number it got.
const dialpage = `<script>
  function makeCall(number) { report({ makeCall: number, type: typeof number }); }
  function hangup() { report({ hangup: true }); }
</script>`;

const projectversion = /project\(orvalink_desktop VERSION ([0-9.]+)/.exec(
  fs.readFileSync(path.join(root, 'CMakeLists.txt'), 'utf8'))[1];

test('--help and --version print and exit before any window or display is needed', async () => {
  const env = { ...process.env };
  delete env.DISPLAY;
  const version = await launch(['--version'], env);
  assert.equal(version.code, 0, version.err);
  assert.equal(version.out, 'orvalink-desktop ' + projectversion + '\n');
  const help = await launch(['--help'], env);
  assert.equal(help.code, 0, help.err);
  assert.match(help.out, /^Usage: orvalink-desktop /);
  for (const word of ['tel:', '--service-origin=URL', '--command=N', '--version']) assert.ok(help.out.includes(word), word);
  assert.equal(help.err, '');
});

test('a link without a dialable number is refused without starting anything', async () => {
  for (const link of ['tel:', 'sip:alice@example.com', 'tel:123456789012345678901', 'callto:1-800-FLOWERS']) {
    const r = await launch([link]);
    assert.equal(r.code, 2, link + ': ' + r.err);
    assert.match(r.err, /no number to dial/);
  }
});

test('a running copy takes over later starts and dials their links', async (t) => {
  const service = await new fakeservice().start();
  const run = service.scripted(dialpage);
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.ready);
  const id = await until(() => mainwindowid(), 'the main window');

  await t.test('a second start brings the hidden window to the front and ends at once', async () => {
    run('winShow(false)');
    await until(() => !isviewable(id), 'the window to hide');
    // Another program's window has the focus meanwhile.
    const other = spawn('xmessage', ['-title', 'another program', 'another program'], { stdio: 'ignore' });
    t.after(() => other.kill());
    const otherid = await until(() => { try { return xdotool('search', '--name', '^another program$'); } catch { return null; } },
      'the other window');
    await activate(otherid);
    await until(() => activewindow() === otherid, 'the other window to be active');
    const r = await launch(['--service-origin=' + service.origin]);
    assert.equal(r.code, 0, r.err);
    assert.ok(r.ms < 10000, 'took ' + r.ms + ' ms');
    await until(() => isviewable(id), 'the window to show');
    await until(() => activewindow() === id, 'the window to be active');
    assert.equal(program.proc.exitCode, null, 'the first copy still runs');
    // Still one main window: the second start made none of its own.
    assert.equal(xdotool('search', '--name', '^orvalink Desktop for Windows$').split('\n').length, 1);
  });

  await t.test('tel:, sip: and callto: links reach makeCall with just the number', async () => {
    const cases = [['tel:+1%20555%20010', '+1555010'], ['sip:+4420794600@pbx.example.com;user=phone', '+4420794600'],
      ['callto://*31%23', '*31#'], ['TEL:(030)-1234.567', '0301234567']];
    for (const [link, number] of cases) {
      const r = await launch([link]);
      assert.equal(r.code, 0, link + ': ' + r.err);
      const got = await service.report((x) => x.makeCall === number);
      assert.equal(got.type, 'string');
    }
    const calls = service.reports.filter((x) => 'makeCall' in x).map((x) => x.makeCall);
    assert.deepEqual(calls, cases.map((c) => c[1]), 'each link dialled once, in order');
  });

  await t.test('a link dials through the same path as a script\'s qx.dial: shown in front', async () => {
    run('winShow(false)');
    await until(() => !isviewable(id), 'the window to hide');
    assert.equal((await launch(['tel:100'])).code, 0);
    await service.report((x) => x.makeCall === '100');
    await until(() => isviewable(id), 'the window to show');
  });

  await t.test('--command still reaches the running copy', async () => {
    const r = await program.command('hide');
    assert.equal(r.code, 0, r.err);
    await until(() => !isviewable(id), 'the window to hide');
  });

  await t.test('--hotkey presses a hotkey of the running copy, which stays hidden', async () => {
    const r = await launch(['--hotkey=ctrl+shift+unknown']);
    assert.equal(r.code, 0, r.err);
    await program.line(/^hotkey ctrl\+shift\+unknown: no such hotkey$/);
    assert.ok(!isviewable(id), 'the window stays hidden');
    const bad = await launch(['--hotkey=two words']);
    assert.equal(bad.code, 2);
    assert.match(bad.err, /not a hotkey name: "two words"/);
  });
});

test('--hotkey without a running copy fails and starts nothing', async () => {
  const r = await launch(['--hotkey=ctrl+shift+d']);
  assert.equal(r.code, 1, r.err);
  assert.match(r.err, /not running/);
  assert.ok(r.ms < 10000, 'took ' + r.ms + ' ms');
});

test('a link starts the program when none runs and is dialled once the page has loaded', async (t) => {
  const service = await new fakeservice().start();
  // makeCall is defined only by a script at the end of a slow page.
  service.route('/slow.js', async (req, res) => {
    await sleep(1500);
    res.writeHead(200, { 'Content-Type': 'text/javascript' });
    res.end('report({ slowloaded: true });');
  });
  service.page(`<title>slow</title><script src="/slow.js"></script>${dialpage}`);
  const program = new app({ origin: service.origin, args: ['tel:+49%2030%20901820'] }).start();
  t.after(async () => { program.kill(); await service.stop(); });

  const got = await service.report((x) => 'makeCall' in x, 30000);
  assert.equal(got.makeCall, '+4930901820');
  assert.ok(service.reports.some((x) => x.slowloaded), 'the page had loaded');
  await sleep(1000);
  assert.equal(service.reports.filter((x) => 'makeCall' in x).length, 1, 'dialled once');
  assert.equal(program.proc.exitCode, null, 'the program keeps running');
});
