// The program on a headless GNOME Wayland session with the AppIndicator tray
// extension: its tray item shows there with its menu.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { fakeservice, app, until } = require('../e2e/lib/harness');
const { trayitems } = require('./lib/desktop');

test('with the tray extension the tray item shows with its menu, and Exit ends the program', async (t) => {
  const service = await new fakeservice().start();
  service.scripted('');
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.ready, 60000);
  await until(async () => (await trayitems()).some((i) => i.menu.includes('Exit')), 'the tray item with its menu');
  assert.ok(!program.lines.some((l) => /^tray: no system tray/.test(l)), program.lines.join('\n'));
  await trayitems({ click: 'Exit' });
  assert.equal((await program.exited).code, 0);
});
