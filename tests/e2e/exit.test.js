// Exit ends the program even while debug windows of the page are open.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { fakeservice, app, sleep, until, mainwindowid, geometry } = require('./lib/harness');

const sh = (cmd, ...args) => execFileSync(cmd, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });

// Chooses a command of the menu in the middle of the main window by its key.
async function choose(program, key) {
  const g = geometry(await until(() => mainwindowid(), 'the main window'));
  await program.choose([g.x + g.width / 2, g.y + g.height / 2], key);
}

test('Exit with the DevTools and WebRTC Internals windows open ends the program through the shutdown', async (t) => {
  const service = await new fakeservice().start();
  service.page('<style>body { margin: 0; height: 100vh }</style><script>report({ loaded: 1 })</script>');
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.loaded);
  await choose(program, 's');
  await until(() => mainwindowid('DevTools'), 'the DevTools window');
  await choose(program, 'w');
  await until(() => mainwindowid('WebRTC Internals'), 'the WebRTC Internals window');

  await choose(program, 'e');
  // The debug windows close with the main browser, before the shutdown's pause.
  await program.line(/^shutdown: pause$/);
  // Listing the windows fails while one of them goes away: list again.
  const windows = await until(() => { try { return sh('xwininfo', '-root', '-tree'); } catch { return null; } },
    'the list of windows');
  assert.ok(!/"(DevTools|WebRTC Internals)"/.test(windows), windows);
  const exit = await Promise.race([program.exited, sleep(15000).then(() => null)]);
  assert.deepEqual(exit, { code: 0, signal: null });
  assert.deepEqual(program.lines.filter((l) => l.startsWith('shutdown: ')), ['shutdown: stopping plugins',
    'shutdown: stopping the sign-in listener', 'shutdown: pause', 'shutdown: browser engine',
    'shutdown: tray icon removed', 'shutdown: scripts closed', 'shutdown: application state released']);
});
