// The page's trust boundary: what the program sends reaches only the
// service's own page, the microphone is the service's alone, and only a link
// the user clicks in the service's page starts another program. The foreign
// origin is the fake service under another name (localhost for 127.0.0.1).
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { fakeservice, app, sleep, until, xdotool, mainwindowid, setclipboard, exe, systembrowser } = require('./lib/harness');

function signin(code) {
  return new Promise((resolve, reject) => {
    http.get({ host: '127.0.0.1', port: 25652, path: '/api/user/completeauth?code=' + code }, (res) => {
      res.resume();
      res.on('end', () => resolve(res.statusCode));
    }).on('error', reject);
  });
}

// A later start of the program: it hands its request to the running copy.
function laterstart(...args) {
  return new Promise((resolve) => spawn(exe, args, { stdio: 'ignore' }).on('exit', resolve));
}

// Hides the window and shows it again through a later start (with `args`),
// which activates it; the page hears of an activation only a second after
// the last window command.
async function reactivate(program, ...args) {
  assert.equal((await program.command('hide')).code, 0);
  await sleep(1100);
  assert.equal(await laterstart(...args), 0);
}

// The service page: it records what the program tells it.
const servicepage = `<script>
  function makeCall(n) { report({ makeCall: n }); }
  winOnActivate(function (text) { report({ activate: text }); });
  winInsertMenu('Clipboard', 'Call 5550100', false, function () { report({ menu: 'clip' }); });
  winAuth(location.origin + '/signin', function (target) { report({ auth: target }); });
</script>`;

// A page of another origin that listens where the program's channel would
// be, and asks for the microphone; it goes back to the service when told.
function foreignpage(serviceorigin) {
  return `<script>
    report({ transport: typeof (window.qt && window.qt.webChannelTransport) });
    window.qt = { webChannelTransport: { send: function () {},
      onmessage: function (m) { report({ foreign: String(m && m.data) }); } } };
    function makeCall(n) { report({ foreign: 'makeCall ' + n }); }
    navigator.mediaDevices.getUserMedia({ audio: true }).then(
      function () { report({ foreignmedia: 'granted' }); }, function (e) { report({ foreignmedia: e.name }); });
    fetch('/goback').then(function () { location.href = '${serviceorigin}/a/desktop/'; });
  </script>`;
}

// A link covering its whole page; `tag` is reported when the page is there.
const link = (href, tag, extra = '') => `<a href="${href}" ${extra} style="display:block;width:100%;height:100%">link</a>
  <script>report({ frame: '${tag}' })</script>`;

// Covers the service page with `html` (a frame reporting `tag`, or a link)
// and clicks it like a user until `done()`. A page that has only just been
// painted may drop a click.
async function clickover(run, service, html, tag, done) {
  run(`document.getElementById('cover')?.remove(); const d = document.createElement('div'); d.id = 'cover';
       d.style = 'position:fixed;left:0;top:0;width:100%;height:100%;z-index:9'; d.innerHTML = ${JSON.stringify(html)};
       document.body.append(d); report({ frame: '${tag}' })`);
  await until(() => service.reports.filter((x) => x.frame === tag).length === (html.includes('<iframe') ? 2 : 1),
    'the cover ' + tag);
  for (let tries = 0; tries < 5; tries++) {
    xdotool('mousemove', '--window', mainwindowid(), '400', '300');
    xdotool('click', '1');
    if (await until(done, 'the click on ' + tag, 3000).catch(() => false)) return;
  }
  throw new Error('nothing came of five clicks on ' + tag);
}
const frame = (src) => `<iframe src="${src}" style="width:100%;height:100%;border:0"></iframe>`;

test('the page boundary', async (t) => {
  const browser = systembrowser();
  const service = await new fakeservice().start();
  const foreign = service.origin.replace('127.0.0.1', 'localhost');
  const run = service.scripted(servicepage);
  let goback = null;
  service.route('/goback', (req, res) => { goback = () => res.end(); });
  let loaded = null;
  service.route('/p/late.qxp', (req, res) => { loaded = () => res.end('not a library'); });
  service.route('/foreign', foreignpage(service.origin));
  service.route('/framelink', link('sip:5550001', 'a'));
  service.route('/frametop', link('sip:5550002', 'b', 'target="_top"'));
  service.route('/frameopen', `<button style="width:100%;height:100%" onclick="window.open('sip:5550003')">open</button>
    <script>report({ frame: 'c' })</script>`);
  const program = new app({ origin: service.origin, env: { PATH: browser.dir + ':' + process.env.PATH } }).start();
  t.after(async () => {
    program.kill();
    await service.stop();
    fs.rmSync(browser.dir, { recursive: true, force: true });
  });
  await service.report((x) => x.ready === 1);
  const dropped = (name) => program.line(new RegExp('^page bridge: no service page connected, .* dropped: ' + name + '$'));

  await t.test('a page of another origin hears nothing; back on the service the waiting dial arrives', async () => {
    await setclipboard('5550100');
    run(`winLoadQXP(location.origin + '/p/late.qxp', function (n) { report({ late: n }); });
         location.href = '${foreign}/foreign'; new Promise(function () {})`);
    assert.equal((await service.report((x) => 'transport' in x)).transport, 'undefined');
    assert.equal((await service.report((x) => 'foreignmedia' in x)).foreignmedia, 'NotAllowedError');
    await until(() => goback && loaded, 'the foreign page and the plugin download');

    await reactivate(program, 'tel:5551234'); // and dials
    await dropped('onActivate');
    assert.equal((await program.command('15101')).code, 0);
    await dropped('onMenu');
    assert.equal(await signin('away'), 200);
    await dropped('onCompleteAuth');
    loaded();
    await dropped('qxpLoaded');

    goback();
    await service.report((x) => x.ready === 2);
    assert.equal((await service.report((x) => 'makeCall' in x)).makeCall, '5551234');
    await reactivate(program);
    assert.equal((await service.report((x) => 'activate' in x)).activate, '5550100');
    assert.equal((await program.command('15101')).code, 0);
    await service.report((x) => x.menu === 'clip');
    assert.equal(await signin('back'), 200);
    assert.equal((await service.report((x) => 'auth' in x)).auth, '/api/user/completeauth?code=back');
    assert.deepEqual(service.reports.filter((x) => 'foreign' in x || 'late' in x), []);
    assert.deepEqual(service.reports.filter((x) => 'makeCall' in x || 'auth' in x).map((x) => x.makeCall || x.auth),
      ['5551234', '/api/user/completeauth?code=back']);
  });

  await t.test('the microphone is granted to the service without a prompt', async () => {
    run(`navigator.mediaDevices.getUserMedia({ audio: true }).then(
           (s) => report({ media: s.getTracks().map((x) => x.kind) }), (e) => report({ media: e.name }))`);
    assert.deepEqual((await service.report((x) => 'media' in x)).media, ['audio']);
  });

  await t.test('only a link clicked in the service page starts another program', async () => {
    const logged = (re) => () => program.lines.some((l) => re.test(l));
    await clickover(run, service, frame(foreign + '/framelink'), 'a',
      logged(/^link to another program refused, .*: sip:5550001$/));
    await clickover(run, service, frame(foreign + '/frametop'), 'b',
      logged(/^link to another program refused, .*: sip:5550002$/));
    await clickover(run, service, frame(foreign + '/frameopen'), 'c',
      logged(/^new window refused, a link to another program: sip:5550003$/));
    await clickover(run, service, link('sip:5550004', 'd'), 'd', () => browser.urls().includes('sip:5550004'));
    assert.deepEqual([...new Set(browser.urls().filter((u) => u.startsWith('sip:')))], ['sip:5550004']);
    // The page stays, and still hears the program.
    run(`winMakeQXPCall(77, 'echo', 'x', function (r) { report({ stillhere: r }); })`);
    assert.equal((await service.report((x) => 'stillhere' in x)).stillhere, '');
  });

  await t.test('the system browser opens only web addresses', async () => {
    run(`winAuth('file:///etc/passwd', function () {})`);
    await program.line(/^system browser: refused, not an http or https address: file:\/\/\/etc\/passwd$/);
    assert.ok(!browser.urls().some((u) => u.startsWith('file:')));
  });
});
