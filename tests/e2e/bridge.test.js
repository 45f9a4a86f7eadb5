// The page's native powers, driven from a test page of the fake service and
// observed from outside: X11 window state, the clipboard, the debug output.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const { fakeservice, app, sleep, until, xdotool, mainwindowid, geometry, isviewable, clipboard, setclipboard,
  trayiconid, wmstate } = require('./lib/harness');

async function setup(t) {
  const service = await new fakeservice().start();
  const run = service.scripted(`<script>
    winOnPos(function (l, r, t, b) { report({ pos: [l, r, t, b] }); });
    winOnActivate(function (text) { report({ activate: text }); });
  </script>`);
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.ready);
  const id = await until(() => mainwindowid(), 'the main window');
  return { service, program, run, id };
}

test('window placement, visibility and pinning from the page', async (t) => {
  const { service, run, id } = await setup(t);

  await t.test('winPos moves and sizes the window and the page hears where it went', async () => {
    run('report({ r: winPos(100, 900, 50, 700), short: winPos(10, 20, 30) })');
    const r = await service.report((x) => 'short' in x);
    assert.deepEqual([r.r, r.short], [true, false]);
    await until(() => { const g = geometry(id); return g.x === 100 && g.y === 50; }, 'the move');
    assert.deepEqual(geometry(id), { x: 100, y: 50, width: 800, height: 650 });
    await service.report((x) => x.pos && x.pos.join() === '100,900,50,700');
  });
  await t.test('winPos beyond the right or bottom edge is ignored', async () => {
    run('winPos(1921, 2000, 10, 20); winPos(10, 20, 1081, 1200); report({ outside: true })');
    await service.report((x) => x.outside);
    await sleep(500);
    assert.deepEqual(geometry(id), { x: 100, y: 50, width: 800, height: 650 });
  });
  await t.test('winShow and winToggle hide and show the window', async () => {
    run('winShow(false)');
    await until(() => !isviewable(id), 'hidden');
    run('winShow(false); winToggle()');
    await until(() => isviewable(id), 'shown by toggle');
    run('winToggle()');
    await until(() => !isviewable(id), 'hidden by toggle');
    run('winShow(true)');
    await until(() => isviewable(id), 'shown');
  });
  await t.test('winAlwaysOnTop pins, unpins and shows a hidden window', async () => {
    run('winShow(false)');
    await until(() => !isviewable(id), 'hidden');
    run('winAlwaysOnTop(true)');
    await until(() => isviewable(id) && /_NET_WM_STATE_ABOVE/.test(wmstate(id)), 'pinned');
    run('winAlwaysOnTop(false)');
    await until(() => !/_NET_WM_STATE_ABOVE/.test(wmstate(id)), 'unpinned');
    assert.ok(isviewable(id));
    assert.equal(mainwindowid(), id);
  });
});

test('tray, clipboard, commands and sign-in', async (t) => {
  const { service, program, run } = await setup(t);

  await t.test('winNotification shows a balloon with the page\'s title and text', async () => {
    run('winNotification("Call waiting", "Anna is calling")');
    await program.line(/^balloon: Call waiting \| Anna is calling$/);
  });
  await t.test('winCopy puts the text up to its first NUL on the clipboard', async () => {
    run('report({ copied: winCopy("0123\\u0000tail") })');
    assert.equal((await service.report((x) => 'copied' in x)).copied, true);
    await until(() => clipboard() === '0123', 'the clipboard text');
  });
  await t.test('the tray menu reports the page item chosen', async () => {
    run(`winInsertMenu('Status', 'Away', false, function () { report({ menu: 'Away' }); });
         winInsertMenu('Status', 'Busy', true, function () { report({ menu: 'Busy' }); });
         report({ inserted: winInsertMenu('Status', 'Unknown', false) })`);
    assert.equal((await service.report((x) => 'inserted' in x)).inserted, false);
    // Ids are given when the menu is built: open it once and close it.
    const tray = await until(() => trayiconid(), 'the tray icon');
    xdotool('mousemove', '--window', tray, '5', '5');
    xdotool('click', '3');
    await program.menu();
    xdotool('key', 'Escape');
    await program.menuclosed();
    // Separator 15000, Away 15001, Busy 15002.
    assert.equal((await program.command('15002')).code, 0);
    await service.report((x) => x.menu === 'Busy');
    assert.equal((await program.command('15001')).code, 0);
    await service.report((x) => x.menu === 'Away');
  });
  await t.test('command 15101 asks the page to call the clipboard text', async () => {
    run(`winInsertMenu('Clipboard', 'Call 555-0100', false, function () { report({ menu: 'clip' }); });
         report({ clipitem: true })`);
    await service.report((x) => x.clipitem);
    await setclipboard('555-0100');
    assert.equal((await program.command('15101')).code, 0);
    await service.report((x) => x.menu === 'clip');
  });
  await t.test('the hide command hides the window and bad commands are refused', async () => {
    assert.equal((await program.command('hide')).code, 0);
    await until(() => !isviewable(mainwindowid()), 'hidden');
    assert.equal((await program.command('banana')).code, 2);
  });
  await t.test('activation tells the page the first 20 bytes of the clipboard', async () => {
    await setclipboard('abcdefghijklmnopqrstuvwxyz');
    await sleep(1200);
    run('winShow(true)');
    await service.report((x) => x.activate === 'abcdefghijklmnopqrst');
  });
  await t.test('winAuth opens the system browser and the loopback callback reaches the page once', async () => {
    run(`winAuth('${service.origin}/signin?x=1', function (target) { report({ auth: target }); })`);
    await program.line(/^open in system browser: .*\/signin\?x=1$/);
    const get = (p) => new Promise((resolve, reject) => {
      http.get({ host: '127.0.0.1', port: 25652, path: p }, (res) => {
        let body = '';
        res.on('data', (c) => { body += c; });
        res.on('end', () => resolve({ status: res.statusCode, body }));
      }).on('error', reject);
    });
    const reply = await get('/api/user/completeauth?code=abc');
    assert.equal(reply.status, 200);
    assert.equal(reply.body, '<html><h1>You may now close this window</h1></html>');
    await service.report((x) => x.auth === '/api/user/completeauth?code=abc');
    await get('/api/user/completeauth?code=again');
    await sleep(500);
    assert.equal(service.reports.filter((x) => 'auth' in x).length, 1);
  });
  await t.test('a call to a plugin number nobody has is answered at once and empty', async () => {
    run(`winMakeQXPCall(77, 'echo', 'x', function (r) { report({ qxp: r }); })`);
    assert.equal((await service.report((x) => 'qxp' in x)).qxp, '');
  });
  await t.test('winClearCookies removes the page\'s cookies', async () => {
    run(`document.cookie = 'session=1; max-age=3600'; report({ cookie: document.cookie })`);
    assert.match((await service.report((x) => 'cookie' in x)).cookie, /session=1/);
    run('winClearCookies(); setTimeout(function () { report({ after: document.cookie }); }, 800)');
    assert.equal((await service.report((x) => 'after' in x)).after, '');
  });
  await t.test('after a reload the page still knows its menu entries and gives them new functions', async () => {
    // The old document's script loop stops here, so that it asks for no
    // script the new one should run.
    run('location.reload(); new Promise(function () {})');
    await service.report((x) => x.ready === 2);
    run(`report({ again: [winInsertMenu('Status', 'Away', true), winInsertMenu('Status', 'Unknown', true),
                          winInsertMenu('Status', 'Busy', false, function () { report({ menu: 'Busy again' }); })] })`);
    assert.deepEqual((await service.report((x) => 'again' in x)).again, [true, false, true]);
    // The ids given when the menu was opened above.
    assert.equal((await program.command('15002')).code, 0);
    await service.report((x) => x.menu === 'Busy again');
  });
});
