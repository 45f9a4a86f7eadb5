// Sign-in: the page opens the service's sign-in page in the system browser
// (a stand-in xdg-open on PATH that records what it was asked to open), the
// browser's redirect reaches the loopback listener, and the page hears the
// target. Also: the program without its listener when the port is taken.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { execFile, execFileSync, spawn } = require('node:child_process');
const { fakeservice, app, sleep, until, systembrowser } = require('./lib/harness');

const port = 25652;

// What a browser's top-level navigation to the listener sends beyond the Host.
const navigation = { 'Sec-Fetch-Site': 'cross-site', 'Sec-Fetch-Mode': 'navigate', 'Sec-Fetch-User': '?1',
  'Sec-Fetch-Dest': 'document' };

function get(pathname, headers = navigation) {
  return new Promise((resolve, reject) => {
    http.get({ host: '127.0.0.1', port, path: pathname, headers }, (res) => {
      let body = '';
      res.on('data', (c) => { body += c; });
      res.on('end', () => resolve({ status: res.statusCode, body }));
    }).on('error', reject);
  });
}

// Runs a command as the unprivileged user "nobody" (in this network
// namespace, which a child inherits); null when this run cannot switch users.
const nobody = ['--reuid=65534', '--regid=65534', '--clear-groups'];
function asnobody() {
  try {
    execFileSync('setpriv', [...nobody, 'true'], { stdio: 'ignore' });
  } catch {
    return null;
  }
  return (command, args) => new Promise((resolve) => {
    execFile('setpriv', [...nobody, command, ...args], (error, stdout) => resolve({ error, stdout }));
  });
}

// The program against a scripted fake service, its system browser a recorder;
// all of it (and `also`, when given) goes when the test ends.
async function signinprogram(t, also = () => {}) {
  const browser = systembrowser();
  const service = await new fakeservice().start();
  const run = service.scripted();
  const program = new app({ origin: service.origin, env: { PATH: browser.dir + ':' + process.env.PATH } }).start();
  t.after(async () => {
    program.kill();
    await program.exited;
    await service.stop();
    also();
    fs.rmSync(browser.dir, { recursive: true, force: true });
  });
  return { browser, service, run, program };
}

test('sign-in through the system browser and the loopback listener', async (t) => {
  const { browser, service, run, program } = await signinprogram(t);
  await service.report((x) => x.ready === 1);

  await t.test('winAuth gives the system browser the URL as the page wrote it', async () => {
    const url = service.origin + '/signin?client=desktop&next=%2Fa%2Fdesktop%2F';
    run(`winAuth('${url}', function (target) { report({ auth: target }); })`);
    await until(() => browser.urls().length, 'the system browser');
    assert.deepEqual(browser.urls(), [url]);
  });

  await t.test('another user\'s browser gets 404 and the page hears nothing', async (s) => {
    const other = asnobody();
    if (!other) return s.skip('cannot run a command as another user here');
    assert.ok(!program.lines.some((l) => l.startsWith('callback server: cannot listen')),
      'port ' + port + ' is taken by another program');
    const { stdout } = await other('curl', ['-s', '-o', '/dev/null', '-w', '%{http_code}',
      'http://127.0.0.1:' + port + '/api/user/completeauth?code=other']);
    assert.equal(stdout, '404');
    await program.line(/^callback server: refused a connection of uid 65534, not this program's user$/);
    // The page would have heard of it before this program's own sign-in below.
    assert.ok(!program.lines.some((l) => l.includes('code=other')));
  });

  await t.test('another origin\'s image and fetch of the listener, and another host name, get 404', async () => {
    assert.ok(!program.lines.some((l) => l.startsWith('callback server: cannot listen')),
      'port ' + port + ' is taken by another program');
    const foreign = await new fakeservice().start();
    try {
      const forged = 'http://127.0.0.1:' + port + '/api/user/completeauth?code=';
      foreign.route('/forge', `<img src="${forged}image">
        <script>fetch('${forged}fetch', { mode: 'no-cors' }).catch(() => {});</script>`);
      run(`document.body.append(Object.assign(document.createElement('iframe'), { src: '${foreign.origin}/forge' }))`);
      await program.line(/^\/api\/user\/completeauth\?code=image$/);
      await program.line(/^\/api\/user\/completeauth\?code=fetch$/);
      // A DNS name pointed at loopback.
      const rebound = await get('/api/user/completeauth?code=rebound', { ...navigation, Host: 'rebound.example:' + port });
      assert.equal(rebound.status, 404);
      const refused = (l) => l === 'callback server: refused a sign-in request that is not a browser\'s top-level navigation to it';
      await until(() => program.lines.filter(refused).length >= 3, 'three refused requests');
      assert.equal(program.lines.filter(refused).length, 3);
      // The page's one-shot callback is still unused: the redirect below is
      // the first completion it hears of.
    } finally {
      await foreign.stop();
    }
  });

  await t.test('the redirect to the listener completes the page\'s sign-in', async () => {
    assert.ok(!program.lines.some((l) => l.startsWith('callback server: cannot listen')),
      'port ' + port + ' is taken by another program');
    const reply = await get('/api/user/completeauth?code=a%20b&state=x');
    assert.deepEqual(reply, { status: 200, body: '<html><h1>You may now close this window</h1></html>' });
    await program.line(/^\/api\/user\/completeauth\?code=a%20b&state=x$/);
    const done = await service.report((x) => 'auth' in x);
    assert.equal(done.auth, '/api/user/completeauth?code=a%20b&state=x');
  });

  await t.test('command 104 opens the documentation in the system browser', async () => {
    assert.equal((await program.command('104')).code, 0);
    await until(() => browser.urls().length === 2, 'the second URL');
    assert.equal(browser.urls()[1], service.origin + '/docs/desktop');
  });
});

test('with the listener\'s port taken the program runs on without it and says so', async (t) => {
  const holder = net.createServer((s) => s.destroy());
  // A program that has just ended may still hold the port for a moment;
  // taken by anyone else for longer is as good.
  for (let i = 0; i < 20 && !holder.listening; i++) {
    await new Promise((resolve) => holder.once('error', resolve).listen(port, '127.0.0.1', resolve));
    if (!holder.listening) await sleep(250);
  }
  const service = await new fakeservice().start();
  const run = service.scripted();
  const program = new app({ origin: service.origin }).start();
  t.after(async () => {
    program.kill();
    await program.exited;
    await service.stop();
    if (holder.listening) await new Promise((r) => holder.close(r));
  });

  await program.line(new RegExp('^callback server: cannot listen on 127\\.0\\.0\\.1:' + port + ': '));
  await service.report((x) => x.ready === 1);
  run(`winNotification('still', 'running')`);
  await program.line(/^balloon: still \| running$/);
  assert.equal((await program.stop()).code, 0);
});

test('with another user\'s program on the port, winAuth says sign-in cannot complete', async (t) => {
  if (!asnobody()) return t.skip('cannot run a command as another user here');
  // Another user's program holding the port; one that has just ended may
  // still hold it for a moment, so it tries again.
  const hold = `require('net').createServer((s) => s.destroy()).on('error', () => process.exit(1))
    .listen(${port}, '127.0.0.1', () => console.log('listening'))`;
  let holder;
  for (let i = 0; i < 20 && !holder; i++) {
    const p = spawn('setpriv', [...nobody, process.execPath, '-e', hold], { stdio: ['ignore', 'pipe', 'ignore'] });
    const listening = await new Promise((resolve) => {
      p.stdout.once('data', () => resolve(true));
      p.once('exit', () => resolve(false));
    });
    if (listening) holder = p; else await sleep(250);
  }
  assert.ok(holder, 'the other user\'s program could not take port ' + port);
  const { browser, service, run, program } = await signinprogram(t, () => holder.kill());

  await program.line(/^callback server: cannot listen on .*another user's copy of the program \(uid 65534\) holds the port/);
  await service.report((x) => x.ready === 1);
  run(`winAuth('${service.origin}/signin', function () {})`);
  await program.line(/^balloon: Sign-in \| Sign-in through the browser cannot complete while another user's copy/);
  // The browser is still sent to the sign-in page.
  await until(() => browser.urls().length, 'the system browser');
  assert.deepEqual(browser.urls(), [service.origin + '/signin']);
});
