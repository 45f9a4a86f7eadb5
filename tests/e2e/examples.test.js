// The examples: the echo plugin of both widths served by the demo service's
// plugin route and called from a page, and the example settings.lua and
// automation.lua run by a copy of the program in a directory of its own.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, execFileSync } = require('node:child_process');
const { fakeservice, app, sleep, until, xdotool, mainwindowid, clipboard, setclipboard, root, exe, activate } =
  require('./lib/harness');
const { handler: demohandler } = require('../../demo/server.js');

const builddir = path.dirname(exe);
const examplesbuilt = path.join(builddir, 'examples');
const fieldwindow = path.join(builddir, 'tests', 'orva_fieldwindow');

test('the example plugin, 64-bit and 32-bit, from the demo service', async (t) => {
  for (const f of ['echo.qxp', 'echo32.qxp']) {
    assert.ok(fs.existsSync(path.join(examplesbuilt, f)), 'not built: ' + path.join(examplesbuilt, f));
  }
  const service = await new fakeservice().start();
  const demo = demohandler({ plugins: examplesbuilt });
  service.route('/plugins/echo.qxp', demo);
  service.route('/plugins/echo32.qxp', demo);
  // The page calls one after the other, each from the previous answer.
  const run = service.scripted(`<script>
    const load = (url) => new Promise((done) => winLoadQXP(new URL(url, location.href).href, done));
    const call = (n, fn, data) => new Promise((done) => winMakeQXPCall(n, fn, data, done));
  </script>`);
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.ready);

  for (const [file, bits] of [['echo.qxp', '64'], ['echo32.qxp', '32']]) {
    await t.test(file + ' answers every function it offers', async () => {
      run(`(async () => {
        const n = await load('/plugins/${file}');
        const big = 'x'.repeat(100000);
        report({ file: '${file}', n,
          echo: await call(n, 'echo', 'hello \u00e9'), upper: await call(n, 'upper', 'hello'),
          bits: await call(n, 'bits', ''), count: await call(n, 'count', ''),
          big: (await call(n, 'echo', big)) === big, other: await call(n, 'nosuch', '') });
      })()`);
      const r = await service.report((x) => x.file === file, 30000);
      assert.equal(r.echo, 'hello \u00e9');
      assert.equal(r.upper, 'HELLO');
      assert.equal(r.bits, bits, 'served by a ' + bits + '-bit library');
      assert.equal(r.count, '4', 'the fourth call it has seen');
      assert.equal(r.big, true, 'a long text comes back whole');
      assert.equal(r.other, 'unknown function: nosuch');
    });
  }
});

test('the plugin caller of the documentation calls the 32-bit plugin through modrelay', () => {
  const out = execFileSync('node', [path.join(root, 'examples/plugin/callplugin.js'), path.join(builddir, 'modrelay'),
    path.join(examplesbuilt, 'echo32.qxp'), 'upper', 'abc', 'bits', ''], { encoding: 'utf8', timeout: 30000 });
  assert.equal(out, 'upper("abc") = "ABC"\nbits("") = "32"\nmodrelay ended with code 0\n');
});

test('the example page of docs/page-api.md runs in the program', async (t) => {
  const doc = fs.readFileSync(path.join(root, 'docs/page-api.md'), 'utf8');
  const html = /## An example page[\s\S]*?```html\n([\s\S]*?)```/.exec(doc)[1];
  const service = await new fakeservice().start();
  service.page(html);
  service.route('/plugins/echo.qxp', demohandler({ plugins: examplesbuilt }));
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });

  // It loads the echo plugin, and its makeCall shows a balloon when a
  // telephone link is dialled.
  await until(() => service.requests.some((r) => r.path === '/plugins/echo.qxp'), 'the plugin download', 30000);
  const second = spawn(exe, ['tel:+1%20555%200100'], { stdio: 'ignore' });
  await new Promise((r) => second.on('exit', r));
  await program.line(/balloon: Calling \| \+15550100/);
  assert.deepEqual(program.lines.filter((l) => /^console error/.test(l)), []);
});

// A copy of the program with the example scripts beside it.
function programcopy(t) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-examples-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  for (const f of ['orvalink-desktop', 'modrelay']) fs.copyFileSync(path.join(builddir, f), path.join(dir, f));
  fs.chmodSync(path.join(dir, 'orvalink-desktop'), 0o755);
  for (const f of ['settings.lua', 'automation.lua']) {
    fs.copyFileSync(path.join(root, 'examples', f), path.join(dir, f));
  }
  return path.join(dir, 'orvalink-desktop');
}

// A Qt window with one text field; accessible through AT-SPI when asked to be.
async function field(t, title, text, accessible) {
  assert.ok(fs.existsSync(fieldwindow), 'not built: ' + fieldwindow);
  const env = { ...process.env };
  if (accessible) env.QT_LINUX_ACCESSIBILITY_ALWAYS_ON = '1';
  const p = spawn(fieldwindow, [title, text], { env, stdio: 'ignore' });
  t.after(() => p.kill());
  const id = await until(() => { try { return xdotool('search', '--name', '^' + title + '$'); } catch { return null; } },
    'the field window');
  await activate(id);
  await sleep(300);
  return id;
}

test('the example settings.lua and automation.lua', async (t) => {
  const copy = programcopy(t);
  const service = await new fakeservice().start();
  const run = service.scripted(`<script>
    function makeCall(number) { report({ makeCall: number }); }
    function hangup() { report({ hangup: true }); }
  </script>`);
  const program = new app({ origin: service.origin, exe: copy }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.ready);

  await t.test('settings.lua: the title, and a data directory per user', async () => {
    await until(() => mainwindowid('orvalink Desktop \\(example settings\\)'), 'the window with the example title');
    assert.ok(fs.existsSync(path.join(program.data, 'local', 'orvalink Desktop for Windows')));
    assert.ok(!fs.existsSync(path.join(program.data, 'all', 'orvalink Desktop for Windows')));
    assert.ok(!program.lines.some((l) => /Error in settings/.test(l)), program.lines.join('\n'));
    await program.line(/data directory: .*\/local\/orvalink Desktop for Windows/);
  });

  await t.test('Ctrl+Shift+D dials the selection read through accessibility', async () => {
    const id = await field(t, 'Example Field A', 'call +1 (555) 010-9999 now', true);
    // Select "+1 (555) 010-9999": 17 characters after "call ".
    xdotool('key', '--window', id, 'Home', ...Array(5).fill('Right'), ...Array(17).fill('shift+Right'));
    await sleep(300);
    await setclipboard('keep me');
    xdotool('key', 'ctrl+shift+d');
    const r = await service.report((x) => x.makeCall);
    assert.equal(r.makeCall, '+15550109999');
    assert.equal(clipboard(), 'keep me', 'the clipboard is left alone');
  });

  await t.test('Ctrl+Shift+D falls back to copying the selection with Ctrl+C', async () => {
    // Not accessible: the example copies the selection with Ctrl+C.
    const id = await field(t, 'Example Field B', '030 1234-567', false);
    xdotool('key', '--window', id, 'ctrl+a');
    await sleep(300);
    await setclipboard('not a number');
    xdotool('key', 'ctrl+shift+d');
    await service.report((x) => x.makeCall === '0301234567');
    assert.equal(clipboard(), '030 1234-567', 'the selection stays on the clipboard');
  });

  await t.test('with nothing new copied, the clipboard\'s number is dialled', async () => {
    const id = await field(t, 'Example Field D', '', false);
    xdotool('key', '--window', id, 'ctrl+a');
    await setclipboard('+44 20 7946 0018');
    xdotool('key', 'ctrl+shift+d');
    await service.report((x) => x.makeCall === '+442079460018');
  });

  await t.test('without a number selected it says so; Ctrl+Shift+H hangs up', async () => {
    const id = await field(t, 'Example Field C', 'no number here', true);
    xdotool('key', '--window', id, 'ctrl+a');
    await sleep(300);
    xdotool('key', 'ctrl+shift+d');
    await program.line(/balloon: Dial \| Select a phone number first/);
    xdotool('key', 'ctrl+shift+h');
    await service.report((x) => x.hangup);
  });

  await t.test('page events reach the script as Lua tables, shown through the JSON module', async () => {
    run(`winOnEvent(JSON.stringify({ type: 'ringing', from: '+15550100' }))`);
    const line = await program.line(/balloon: Page event: ringing \| /);
    const json = JSON.parse(line.slice(line.indexOf('| ') + 2));
    assert.deepEqual(json, { type: 'ringing', from: '+15550100' });
  });
});
