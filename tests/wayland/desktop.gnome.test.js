// The program on a headless GNOME Wayland session without XWayland and
// without a tray: balloons as desktop notifications, typing through the
// RemoteDesktop portal once the user has consented (and nothing but one
// balloon when the user refuses), and the example select-and-dial hotkey
// through a desktop keybinding (GNOME 43 has no global shortcuts portal),
// which goes when the program ends.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { gtkentry, press, consent, notifications, run } = require('./lib/desktop');
const { startexample: start } = require('./lib/program');

const keybindings = () => run('gsettings', ['get', 'org.gnome.settings-daemon.plugins.media-keys', 'custom-keybindings']);

test('the program on GNOME with the example scripts', async (t) => {
  const notes = await notifications(t);
  const { service, page, program, sendstring } = await start(t);

  await t.test('without a tray, balloons are desktop notifications and a debug line says so', async () => {
    await program.line(/^tray: no system tray/);
    page(`winNotification('Incoming call', 'from +1 555 0100')`);
    await notes.line(/^ *string "from \+1 555 0100"$/);
    assert.ok(notes.lines.some((l) => /^ *string "orvalink Desktop"$/.test(l)), notes.lines.join('\n'));
  });

  await t.test('typing asks for consent once, then goes into a native Wayland application', async () => {
    const field = await gtkentry(t, 'GNOME typing', '');
    const answered = consent();
    sendstring('+gnome 0123456789');
    await answered;
    await field.line(/^text: "Gnome 0123456789"$/);
    // The same session serves later typing: no second dialog.
    sendstring(' ok');
    await field.line(/^text: "Gnome 0123456789 ok"$/);
  });

  await t.test('Ctrl+Shift+D through the desktop keybinding dials the selected number', async () => {
    await program.line(/^hotkeys: .*custom keybindings/);
    assert.match(await keybindings(), /orvalink-desktop-/);
    await gtkentry(t, 'GNOME field', 'call +1 (555) 010-9999 now', 5, 22);
    await press('ctrl+shift+d');
    const r = await service.report((x) => x.makeCall);
    assert.equal(r.makeCall, '+15550109999');
  });

  await t.test('the keybindings go when the program ends', async () => {
    assert.equal((await program.stop()).code, 0);
    assert.doesNotMatch(await keybindings(), /orvalink-desktop-/);
  });
});

test('refused consent: one balloon says why, and typing does nothing', async (t) => {
  const notes = await notifications(t);
  const { page, program, sendstring } = await start(t);
  const field = await gtkentry(t, 'GNOME refused', '');
  const answered = consent({ refuse: true });
  sendstring('abc');
  await answered;
  await notes.line(/^ *string "Automation error"$/);
  sendstring('def');
  // The page's balloon comes after the second typing has been handled.
  page(`winNotification('done', 'typing handled')`);
  await notes.line(/^ *string "typing handled"$/);
  assert.equal(notes.lines.filter((l) => /^ *string "Automation error"$/.test(l)).length, 1, notes.lines.join('\n'));
  assert.ok(!field.lines.some((l) => l.startsWith('text: ')), field.lines.join('\n'));
  assert.equal((await program.stop()).code, 0);
});
