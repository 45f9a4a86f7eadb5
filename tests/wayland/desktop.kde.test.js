// The program on a headless KDE Plasma Wayland session: its own window on
// XWayland, the example automation.lua's select-and-dial hotkey pressed
// while a native Wayland application has the focus, typing into that
// application, and the tray item with its menu.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { until, mainwindowid, isviewable } = require('../e2e/lib/harness');
const { gtkentry, press, trayitems, run } = require('./lib/desktop');
const { startexample } = require('./lib/program');

test('the program on KDE Plasma with the example scripts', async (t) => {
  const { service, page, program } = await startexample(t);
  let window;

  await t.test('its window is an XWayland window, and its page loads', async () => {
    window = await until(() => mainwindowid('orvalink Desktop \\(example settings\\)'), 'the window on XWayland');
    assert.ok(isviewable(window));
  });

  await t.test('Ctrl+Shift+D dials the number selected in a native Wayland application', async () => {
    await gtkentry(t, 'Wayland field', 'call +1 (555) 010-9999 now', 5, 22);
    await run('wl-copy', ['keep me']);
    await press('ctrl+shift+d');
    const r = await service.report((x) => x.makeCall);
    assert.equal(r.makeCall, '+15550109999');
    // Read over AT-SPI, not copied: the clipboard is left alone.
    assert.equal(await run('wl-paste', ['--no-newline']), 'keep me');
  });

  await t.test('a key the user gives the hotkey in the desktop\'s settings is the one that fires', async () => {
    // What System Settings does: kglobalaccel's setShortcut for the program's
    // shortcut (component: the session token; action: the hotkey's name),
    // with Qt's code for Ctrl+Alt+H.
    await run('gdbus', ['call', '--session', '--dest', 'org.kde.kglobalaccel', '--object-path', '/kglobalaccel',
      '--method', 'org.kde.KGlobalAccel.setShortcut',
      "['orvalinkdesktop', 'ctrl+shift+d', 'orvalinkdesktop', 'Dial the selected number']", '[201326664]', '4']);
    const field = await gtkentry(t, 'Wayland reassigned', 'call 555 0101 now', 5, 13);
    await press('ctrl+alt+h');
    await service.report((x) => x.makeCall === '5550101');
    // The old key dials nothing: the next number dialled is the one selected
    // for the new key's next press.
    await press('ctrl+shift+d');
    field.proc.stdin.write('select call 555 0202 now 5 13\n');
    await field.line(/^selected$/);
    await press('ctrl+alt+h');
    await service.report((x) => x.makeCall === '5550202');
    const calls = service.reports.filter((x) => 'makeCall' in x).map((x) => x.makeCall);
    assert.deepEqual(calls.slice(calls.indexOf('5550101')), ['5550101', '5550202']);
  });

  await t.test('window functions and the clipboard reach the native Wayland application', async () => {
    const field = await gtkentry(t, 'Wayland probe');
    await run('wl-copy', ['copied in GTK']);
    page(`winOnEvent(JSON.stringify({ type: 'probe', pid: ${field.proc.pid} }))`);
    // Each answer comes as a number dialled, up to 20 bytes of text.
    const dialled = async (prefix) =>
      (await service.report((x) => typeof x.makeCall === 'string' && x.makeCall.startsWith(prefix))).makeCall;
    assert.equal(await dialled('title '), 'title Wayland probe');
    assert.match(await dialled('class '), /^class \S/);
    assert.equal(await dialled('pid '), 'pid true');
    // No Wayland client may hide another's window: the answer for one not there.
    assert.equal(await dialled('hidden '), 'hidden 0');
    assert.equal(await dialled('clip '), 'clip copied in GTK');
    await until(async () => (await run('wl-paste', ['--no-newline'])) === 'from the script', 'the script\'s clipboard text');
  });

  await t.test('sendstring types into the native Wayland application', async () => {
    const field = await gtkentry(t, 'Wayland typing', '');
    // Letters and digits as key symbols, Shift and Ctrl as keys around them:
    // Ctrl+A selects all, which the last letters replace.
    page(`winOnEvent(JSON.stringify({ type: 'sendstring', text: '+wayland 0123456789 abcdefghij^a+ok' }))`);
    await field.line(/^text: "Wayland 0123456789 abcdefghij"$/);
    await field.line(/^text: "Ok"$/);
  });

  await t.test('the tray item is registered with its menu; a click toggles the window, Exit ends', async () => {
    const item = await until(async () => (await trayitems()).find((i) => i.menu.includes('Exit')),
      'the tray item with its menu');
    assert.ok(item.menu.includes('About ...'), JSON.stringify(item));
    await trayitems({ activate: true });
    await until(() => !isviewable(window), 'the window to hide');
    await trayitems({ activate: true });
    await until(() => isviewable(window), 'the window to show');
    await trayitems({ click: 'Exit' });
    assert.equal((await program.exited).code, 0);
  });
});
