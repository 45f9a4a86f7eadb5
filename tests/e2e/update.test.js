// Self-update asked for by the page: the version check, the installer
// download from the fake service, and the installer started after the
// program has shut itself down. Balloons show in the debug output.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { fakeservice, app, sleep, until } = require('./lib/harness');

const datadirof = (program) => path.join(program.data, 'all', 'orvalink Desktop for Windows');
const balloon = (text) => new RegExp('^balloon: Update \\| ' + text.replace(/[.()\\[\]{}+*?^$|]/g, '\\$&') + '$');
const notfound = (v) => balloon('Version ' + v + ' not found, or no permissions to save file - please retry.');
const installerrequests = (service) => service.requests.filter((r) => r.path.startsWith('/files/')).length;

// A stand-in installer: records its own path, its arguments (one a line)
// and when it ran, into `record`. Once the program has ended it writes to
// standard error, as installers do.
const installer = (record) => `#!/bin/sh
{ printf '%s\\n' "$0"; date +%s%3N; for a in "$@"; do printf '%s\\n' "$a"; done; } > '${record}.part'
while kill -0 $PPID 2>/dev/null; do sleep 0.05; done
echo 'installer: the program has ended' >&2
mv '${record}.part' '${record}'
`;
const pefile = Buffer.concat([Buffer.from('MZ'), Buffer.alloc(1022)]);

test('updates asked for by the page', async (t) => {
  const service = await new fakeservice().start();
  const run = service.scripted();
  const program = new app({ origin: service.origin });
  const record = path.join(program.data, 'installer-ran');
  const script = Buffer.from(installer(record));

  // 1.4.0 breaks off in the middle of its body.
  service.route('/files/qx_desktop_1.4.0.exe', (req, res) => {
    res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': 100000 });
    res.write(Buffer.alloc(1000, 65));
    setTimeout(() => res.destroy(), 200);
  });
  // 1.2.0 is served whole once the test lets it go.
  let waiting = null;
  let released = false;
  const send = (res) => {
    res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': script.length });
    res.end(script);
  };
  service.route('/files/qx_desktop_1.2.0.exe', (req, res) => { if (released) send(res); else waiting = res; });
  program.start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((x) => x.ready === 1);

  await t.test('versions that are not newer are refused without a download', async () => {
    for (const v of ['1.1.8', '1.1.7', '1.0.9', '1.2', '1.1.8.1', '']) {
      run(`winRunUpdate('${v}')`);
      await program.line(notfound(v));
    }
    assert.equal(installerrequests(service), 0);
  });

  await t.test('a 404 with an error page asks to try again later; the program goes on', async () => {
    run(`winRunUpdate('1.3.0')`);
    await program.line(balloon('Found version 1.3.0, downloading.'));
    await program.line(balloon('An error occured whilst trying to download the update. Please try again later.'));
    const r = service.requests.find((x) => x.path === '/files/qx_desktop_1.3.0.exe');
    assert.equal(r.url, '/files/qx_desktop_1.3.0.exe');
    // The error page was not stored as the installer, nor left beside it
    // (the unfinished file goes with the request, just after the balloon).
    await until(() => fs.readdirSync(path.join(datadirof(program), 'qxDownloads')).length === 0,
      'the unfinished download removed');
    run(`winNotification('still', 'here')`);
    await program.line(/^balloon: still \| here$/);
  });

  await t.test('a download cut off after a good status is not installed', async () => {
    run(`winRunUpdate('1.4.0')`);
    await program.line(balloon('Found version 1.4.0, downloading.'));
    const why = await program.line(/^balloon: Update \| An error occured whilst trying to download update\. /);
    assert.equal(why, 'balloon: Update | An error occured whilst trying to download update. It is important, ' +
      'for security reasons, that this is downloaded and installed. Please see ' + service.origin +
      '/docs/desktop_install/ for more information.');
    await sleep(1000);
    assert.equal(program.proc.exitCode, null);
  });

  await t.test('an installer for another system is not started; the program goes on', async () => {
    service.route('/files/qx_desktop_1.5.0.exe', (req, res) => res.end(pefile));
    run(`winRunUpdate('1.5.0')`);
    await program.line(balloon('Version 1.5.0 is an update for another system and cannot be installed here. ' +
      "This program is updated from its package, with the system's package manager."));
    await program.line(/^update: the installer .*\/qx_desktop\.exe is a Windows program \(PE\), which cannot be /);
    run(`winNotification('still', 'running')`);
    await program.line(/^balloon: still \| running$/);
    assert.ok(!program.lines.some((l) => l.startsWith('shutdown: ')));
  });

  await t.test('a second update while the installer downloads is refused', async () => {
    run(`winRunUpdate('1.2.0')`);
    await program.line(balloon('Found version 1.2.0, downloading.'));
    await until(() => waiting, 'the installer request');
    run(`winRunUpdate('2.0.0')`);
    await program.line(balloon('An update is already in progress. Please wait for it to finish.'));
    assert.ok(!service.requests.some((r) => r.path === '/files/qx_desktop_2.0.0.exe'));
  });

  await t.test('a good download ends the program, which then starts the installer', async () => {
    let pausedat = 0;
    // Another file put under the installer's name during the pause is not
    // the one started: the file checked is.
    const installerpath = path.join(datadirof(program), 'qxDownloads', 'qx_desktop.exe');
    program.events.on('line', (l) => {
      if (l !== 'shutdown: pause') return;
      pausedat = Date.now();
      fs.writeFileSync(installerpath + '.swap', `#!/bin/sh\necho swapped > '${record}'\n`, { mode: 0o700 });
      fs.renameSync(installerpath + '.swap', installerpath);
    });
    released = true;
    send(waiting);
    await program.line(balloon('Update downloaded. Restarting.'));
    const exit = await Promise.race([program.exited, sleep(20000).then(() => null)]);
    assert.deepEqual(exit, { code: 0, signal: null },
      'the program did not end by itself; last lines:\n' + program.lines.slice(-20).join('\n'));
    assert.deepEqual(program.lines.filter((l) => l.startsWith('shutdown: ')), ['shutdown: update balloon',
      'shutdown: stopping plugins', 'shutdown: stopping the sign-in listener', 'shutdown: pause',
      'shutdown: starting the update command', 'shutdown: browser engine', 'shutdown: tray icon removed',
      'shutdown: scripts closed', 'shutdown: application state released']);
    assert.ok(program.lines.includes('balloon: Update | orvalink Desktop for Windows is updating, please wait ' +
      'whilst we restart.'));
    await until(() => fs.existsSync(record), 'the installer to run', 10000);
    const [self, ranat, ...args] = fs.readFileSync(record, 'utf8').split('\n').slice(0, -1);
    // Started through the descriptor kept open since the checks.
    assert.equal(self, '/proc/self/fd/3');
    assert.deepEqual(args, ['/SP-', '/verysilent', '/noicons', '/dir=expand:{pf32}\\orvalink Desktop for Windows']);
    assert.ok(Number(ranat) - pausedat >= 1900, 'started ' + (Number(ranat) - pausedat) + ' ms after the pause began');
  });
});

test('a download directory that cannot be made refuses the update before any request', async (t) => {
  const service = await new fakeservice().start();
  const run = service.scripted();
  const program = new app({ origin: service.origin });
  // A file stands where the folder would be.
  fs.mkdirSync(datadirof(program), { recursive: true });
  fs.writeFileSync(path.join(datadirof(program), 'qxDownloads'), 'not a folder');
  program.start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((x) => x.ready === 1);

  run(`winRunUpdate('1.2.0')`);
  await program.line(balloon('Found version 1.2.0, downloading.'));
  await program.line(notfound('1.2.0'));
  await sleep(500);
  assert.equal(installerrequests(service), 0);
  const { code } = await program.stop();
  assert.equal(code, 0);
  assert.ok(!program.lines.includes('shutdown: starting the update command'));
});

test('an installer that cannot start after the pause brings the program back', async (t) => {
  const service = await new fakeservice().start();
  const run = service.scripted();
  const program = new app({ origin: service.origin });
  // The installer's interpreter goes while the program pauses in its shutdown.
  const shell = path.join(program.data, 'shell');
  fs.copyFileSync('/bin/sh', shell);
  fs.chmodSync(shell, 0o755);
  service.route('/files/qx_desktop_1.2.0.exe', (req, res) => res.end(`#!${shell}\n`));
  program.events.on('line', (l) => { if (l === 'shutdown: pause') fs.rmSync(shell, { force: true }); });
  program.start();
  let again = 0;
  t.after(async () => {
    program.kill();
    if (again) try { process.kill(again, 'SIGKILL'); } catch { /* already gone */ }
    await service.stop();
  });
  await service.report((x) => x.ready === 1);

  run(`winRunUpdate('1.2.0')`);
  assert.deepEqual(await program.exited, { code: 0, signal: null });
  const restarted = await program.line(/^update: the installer did not start; the program started again as process /);
  again = Number(/process (\d+)/.exec(restarted)[1]);
  // The same program with the same arguments, running on its own: it shows
  // the page and answers the command socket.
  assert.equal(fs.readlinkSync(`/proc/${again}/exe`), fs.realpathSync(program.proc.spawnfile));
  assert.deepEqual(fs.readFileSync(`/proc/${again}/cmdline`, 'utf8').split('\0').slice(1, -1),
    program.proc.spawnargs.slice(1));
  await service.report((x) => x.ready === 2);
  assert.equal((await program.command('105')).code, 0);
  await until(() => program.lines.filter((l) => l === 'shutdown: application state released').length === 2,
    'the restarted program to end');
});
