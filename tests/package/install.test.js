// The Debian package as apt installs it on a fresh system: a new Debian root
// (mmdebstrap: the essential packages, then the package with everything it
// depends on, through apt), in which the 32-bit relay serves a 32-bit plugin,
// the program finds every library it links, the manual page shows and the
// program writes and removes its autostart entry. Needs root (chroot) and the
// package mirror; the machine's apt cache is lent to the new root, so only
// what it lacks is downloaded.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { execFileSync, spawn } = require('node:child_process');

const top = path.resolve(__dirname, '../..');
const builddir = path.dirname(path.resolve(process.env.ORVALINK_EXE || path.join(top, 'build', 'orvalink-desktop')));
const plugin32 = process.env.ORVALINK_TESTPLUGIN32 || path.join(builddir, 'tests', 'libtestplugin32.so');
const cache = '/var/cache/apt/archives';

function sh(cmd, args, options = {}) {
  return execFileSync(cmd, args, { encoding: 'utf8', timeout: 120000, ...options });
}

// The package: $ORVALINK_DEB, or one made now with CPack from the build
// directory.
function thepackage() {
  if (process.env.ORVALINK_DEB) return path.resolve(process.env.ORVALINK_DEB);
  const out = path.join(builddir, 'package');
  sh('cpack', ['-G', 'DEB', '-B', out], { cwd: builddir });
  const debs = fs.readdirSync(out).filter((f) => /^orvalink-desktop_.*_amd64\.deb$/.test(f));
  assert.equal(debs.length, 1, 'one package in ' + out);
  return path.join(out, debs[0]);
}

// Runs `args` inside the root, with a /proc of its own (the program finds
// itself through /proc/self/exe).
function inroot(root, args, options = {}) {
  return ['unshare', ['--mount', '--pid', '--fork', '--mount-proc=' + path.join(root, 'proc'), 'chroot', root, ...args],
    { env: { PATH: '/usr/sbin:/usr/bin:/sbin:/bin', LANG: 'C.UTF-8', HOME: '/root' }, ...options }];
}

// Makes the root: the distribution this machine runs, its essential
// packages, then the package and man-db through apt. The apt cache is shared
// both ways by hard links.
function makeroot(deb, root, log) {
  const codename = /^VERSION_CODENAME=(.*)$/m.exec(fs.readFileSync('/etc/os-release', 'utf8'))[1];
  const args = ['--mode=root', '--variant=essential', '--include=man-db', '--include=' + deb,
    '--hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount', '--skip=essential/unlink',
    `--setup-hook=mkdir -p "$1${cache}" && cp -al ${cache}/*.deb "$1${cache}/" 2>/dev/null || true`,
    `--customize-hook=cp -aln "$1${cache}"/*.deb ${cache}/ 2>/dev/null || true`,
    codename, root];
  return new Promise((resolve, reject) => {
    const out = fs.openSync(log, 'w');
    const child = spawn('mmdebstrap', args, { stdio: ['ignore', out, out] });
    const limit = setTimeout(() => child.kill(), 600000);
    child.on('exit', (code, signal) => {
      clearTimeout(limit);
      fs.closeSync(out);
      if (code === 0) resolve();
      else reject(new Error(`mmdebstrap ended with ${code ?? signal}:\n` + fs.readFileSync(log, 'utf8').slice(-3000)));
    });
  });
}

// One relay frame: a 4-byte little-endian length, then the payload.
function frame(text) {
  const payload = Buffer.from(text);
  const length = Buffer.alloc(4);
  length.writeUInt32LE(payload.length);
  return Buffer.concat([length, payload]);
}

// Serves the relay's socket: sends each message, collects the answers.
function relayhost(socketpath, messages) {
  return new Promise((resolve, reject) => {
    const server = net.createServer((conn) => {
      let pending = Buffer.alloc(0);
      const answers = [];
      conn.on('data', (data) => {
        pending = Buffer.concat([pending, data]);
        while (pending.length >= 4 && pending.length >= 4 + pending.readUInt32LE(0)) {
          const size = pending.readUInt32LE(0);
          answers.push(pending.subarray(4, 4 + size).toString());
          pending = pending.subarray(4 + size);
          if (answers.length < messages.length) conn.write(frame(messages[answers.length]));
          else { conn.end(); server.close(); resolve(answers); }
        }
      });
      conn.on('error', reject);
      conn.write(frame(messages[0]));
    });
    server.on('error', reject);
    server.listen(socketpath);
    const limit = setTimeout(() => { server.close(); reject(new Error('the relay did not answer within 60 s')); }, 60000);
    server.on('close', () => clearTimeout(limit));
  });
}

test('the package installed by apt on a fresh system', { skip: process.getuid() !== 0 && 'needs root' }, async (t) => {
  const deb = thepackage();
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-install-'));
  const root = path.join(scratch, 'root');
  // --one-file-system: nothing of a mount left behind by a failed run is
  // removed through it.
  t.after(() => sh('rm', ['-rf', '--one-file-system', scratch]));
  const started = Date.now();
  await makeroot(deb, root, path.join(scratch, 'mmdebstrap.log'));
  t.diagnostic(`fresh root with the package made in ${Math.round((Date.now() - started) / 1000)} s`);
  assert.match(sh(...inroot(root, ['dpkg-query', '-W', '-f=${Status}', 'orvalink-desktop'])), /install ok installed/);

  await t.test('modrelay starts and serves a 32-bit plugin', async () => {
    fs.copyFileSync(plugin32, path.join(root, 'tmp/plugin32.so'));
    const answers = relayhost(path.join(root, 'tmp/relay.sock'), ['ini|', 'echo|from the relay', 'fini|']);
    const [cmd, args, options] = inroot(root, ['/usr/lib/orvalink-desktop/modrelay', '/tmp/relay.sock', '/tmp/plugin32.so']);
    const relay = spawn(cmd, args, { ...options, stdio: ['ignore', 'ignore', 'pipe'] });
    let stderr = '';
    relay.stderr.on('data', (d) => { stderr += d; });
    const ended = new Promise((resolve) => relay.on('exit', resolve));
    const result = await Promise.race([answers, ended.then((code) => { throw new Error(`modrelay ended (${code}): ${stderr}`); })]);
    assert.deepEqual(result.slice(1), ['from the relay', 'ok']);
    assert.equal(await ended, 0, stderr);
  });

  await t.test('the program loads every library it links and finds its scripts in /etc', () => {
    assert.match(sh(...inroot(root, ['/usr/bin/orvalink-desktop', '--version'])), /^orvalink-desktop \d+\.\d+\.\d+\n$/);
    assert.equal(sh(...inroot(root, ['readlink', '-e', '/usr/lib/orvalink-desktop/settings.lua'])).trim(),
      '/etc/orvalink-desktop/settings.lua');
  });

  await t.test('man orvalink-desktop shows the manual page', () => {
    const [cmd, args, options] = inroot(root, ['man', '-P', 'cat', 'orvalink-desktop']);
    const page = sh(cmd, args, { ...options, env: { ...options.env, MANWIDTH: '80' } });
    for (const text of ['--autostart=on|off', 'ORVALINK_NO_SANDBOX', 'cef_debug.log', 'EXIT STATUS']) {
      assert.ok(page.includes(text), text);
    }
  });

  await t.test('--autostart=on writes a valid entry that starts the installed program; off removes it', () => {
    const entry = path.join(root, 'root/.config/autostart/orvalink-desktop.desktop');
    sh(...inroot(root, ['/usr/bin/orvalink-desktop', '--autostart=on']));
    sh('desktop-file-validate', [entry]);
    assert.match(fs.readFileSync(entry, 'utf8'), /^Exec=\/usr\/lib\/orvalink-desktop\/orvalink-desktop$/m);
    sh(...inroot(root, ['/usr/bin/orvalink-desktop', '--autostart=off']));
    assert.ok(!fs.existsSync(entry));
  });
});
