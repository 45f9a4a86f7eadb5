// Navigation rules, media permission, an unreachable service and an unusable
// data directory.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { fakeservice, app, sleep, until, mainwindowid, xdotool } = require('./lib/harness');

// Covers the page with one link and clicks it like a user would (the engine
// opens tabs and hands links to other programs only on a user's click).
function clicklink(run, service, href, target) {
  run(`const a = document.createElement('a'); a.href = ${JSON.stringify(href)}; a.target = '${target || ''}';
       a.textContent = 'link'; a.style = 'position:fixed;left:0;top:0;width:100%;height:100%;z-index:9';
       document.body.append(a);
       requestAnimationFrame(() => requestAnimationFrame(() => report({ placed: ${JSON.stringify(href)} })))`);
  return service.report((x) => x.placed === href, 10000).catch((e) => {
    throw new Error(e.message + '\nrequests:\n' + service.trail());
  }).then(() => {
    const id = mainwindowid();
    xdotool('mousemove', '--window', id, '400', '300');
    xdotool('click', '1');
  });
}

test('popups, new tabs, phone and mail links, and media', async (t) => {
  const service = await new fakeservice().start();
  const run = service.scripted();
  const back = '<script>report({ at: location.pathname, opener: !!window.opener }); location.replace("/a/desktop/")</script>';
  service.route('/popup', back);
  service.route('/tab', back);
  const program = new app({ origin: service.origin, args: ['--webEngineArgs', '--use-fake-device-for-media-stream'] })
    .start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((x) => x.ready === 1);

  await t.test('window.open loads its URL in the main window instead', async () => {
    run(`window.open('/popup', 'x', 'width=200')`);
    assert.equal((await service.report((x) => x.at === '/popup')).opener, false);
    await service.report((x) => x.ready === 2);
    assert.equal(mainwindowid() !== null, true);
  });
  await t.test('a link with a new-window target loads in the main window', async () => {
    await clicklink(run, service, '/tab', '_blank');
    await service.report((x) => x.at === '/tab');
    await service.report((x) => x.ready === 3);
  });
  await t.test('tel: and mailto: links are cancelled, logged and start nothing', async () => {
    await clicklink(run, service, 'tel:+15550100');
    await program.line(/^tel:\+15550100$/);
    run(`document.querySelector('a').remove()`);
    await clicklink(run, service, 'mailto:a@example.com');
    await program.line(/^mailto:a@example\.com$/);
    run(`setTimeout(() => report({ stayed: location.pathname, loads: performance.navigation.type }), 1000)`);
    assert.equal((await service.report((x) => 'stayed' in x)).stayed, '/a/desktop/');
    assert.equal(service.reports.filter((x) => x.ready).length, 3);
    assert.ok(!program.lines.some((l) => /open in system browser/.test(l)));
  });
  await t.test('microphone and camera are granted to the service without a prompt', async () => {
    run(`navigator.mediaDevices.getUserMedia({ audio: true, video: true }).then(
           (s) => report({ media: s.getTracks().map((x) => x.kind).sort() }),
           (e) => report({ media: String(e) }))`);
    assert.deepEqual((await service.report((x) => 'media' in x)).media, ['audio', 'video']);
  });
  await t.test('the engine switches take effect in the page', async () => {
    run(`const c = new AudioContext(); setTimeout(() => report({ audio: c.state }), 300)`);
    assert.equal((await service.report((x) => 'audio' in x)).audio, 'running');
  });
  await t.test('every navigation URL is in the debug output', async () => {
    await program.line(new RegExp('^' + service.origin.replace(/\./g, '\\.') + '/popup$'));
  });
});

test('an unreachable service leaves the program usable and closable', async () => {
  const program = new app({ origin: 'http://127.0.0.1:9' }).start();
  try {
    await until(() => mainwindowid(), 'the main window');
    await program.line(/^http:\/\/127\.0\.0\.1:9\/a\/desktop\/$/);
    await sleep(1500);
    const { code } = await program.stop();
    assert.equal(code, 0);
  } finally {
    program.kill();
  }
});

test('a data directory that cannot be made: browser data stays in memory', async () => {
  const service = await new fakeservice().start();
  service.page('<script>report({ loaded: true })</script>');
  const blocked = fs.mkdtempSync('/tmp/orva-blocked-');
  fs.writeFileSync(path.join(blocked, 'file'), '');
  const program = new app({ origin: service.origin,
    env: { ALLUSERSPROFILE: path.join(blocked, 'file'), LOCALAPPDATA: path.join(blocked, 'file') } }).start();
  try {
    await service.report((x) => x.loaded);
    await program.line(/data directory cannot be used .*in memory only/);
    assert.equal((await program.stop()).code, 0);
  } finally {
    program.kill();
    await service.stop();
  }
});
