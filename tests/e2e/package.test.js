// The Debian package: lintian's verdict, its dependencies and files,
// unpacked into a scratch root, the installed program started against the
// fake service, and a telephone link opened through the desktop's URL
// handling (xdg-open) that reaches the page through the package's desktop
// entry. tests/package/install.test.js installs it into a fresh system.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { fakeservice, app, until, exe } = require('./lib/harness');

const builddir = path.dirname(exe);

function sh(cmd, args, options = {}) {
  return execFileSync(cmd, args, { encoding: 'utf8', timeout: 120000, ...options });
}

// The package: $ORVALINK_DEB, or one made now with CPack from the build
// directory the program under test comes from.
function thepackage() {
  if (process.env.ORVALINK_DEB) return process.env.ORVALINK_DEB;
  const out = path.join(builddir, 'package');
  sh('cpack', ['-G', 'DEB', '-B', out], { cwd: builddir });
  const debs = fs.readdirSync(out).filter((f) => /^orvalink-desktop_.*_amd64\.deb$/.test(f));
  assert.equal(debs.length, 1, 'one package in ' + out);
  return path.join(out, debs[0]);
}

// The package that owns a file, also across the /lib -> /usr/lib merge.
function owner(file) {
  const real = fs.realpathSync(file);
  const candidates = [file, real].flatMap((p) => [p, p.startsWith('/usr/') ? p.slice(4) : '/usr' + p]);
  for (const p of candidates) {
    try {
      return sh('dpkg', ['-S', p], { stdio: ['ignore', 'pipe', 'ignore'] }).split(':')[0];
    } catch { /* not under this name */ }
  }
  return null;
}

// Package names in a Depends-style field, without versions and alternatives.
function names(field) {
  return field.split(',').flatMap((alt) => alt.split('|')).map((p) => p.trim().split(/[\s(]/)[0]).filter(Boolean);
}

test('the Debian package', async (t) => {
  const deb = thepackage();
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-package-'));
  t.after(() => fs.rmSync(scratch, { recursive: true, force: true }));
  const root = path.join(scratch, 'root');
  sh('dpkg-deb', ['-x', deb, root]);
  const field = (name) => sh('dpkg-deb', ['-f', deb, name]).trim();
  const programdir = path.join(root, 'usr/lib/orvalink-desktop');

  await t.test('lintian finds no error and no warning', () => {
    const report = sh('lintian', [deb], { stdio: ['ignore', 'pipe', 'ignore'] });
    assert.deepEqual(report.split('\n').filter((l) => /^[EW]: /.test(l)), [], report);
  });

  await t.test('it depends on the package of every library the two programs link', () => {
    const depends = names(field('Depends'));
    for (const program of ['orvalink-desktop', 'modrelay']) {
      const file = path.join(programdir, program);
      const needed = [...sh('readelf', ['-d', file]).matchAll(/\(NEEDED\).*\[(.+)\]/g)].map((m) => m[1]);
      assert.ok(needed.length > 0, program);
      const resolved = Object.fromEntries([...sh('ldd', [file]).matchAll(/^\s*(\S+) => (\/\S+)/gm)]
        .map((m) => [m[1], m[2]]));
      for (const lib of needed) {
        if (/^ld-linux/.test(lib)) continue;  // the loader, from the C library's package
        assert.ok(resolved[lib], program + ' needs ' + lib + ', which is not found');
        const from = owner(resolved[lib]);
        assert.ok(from && depends.includes(from), program + ' needs ' + lib + ' from ' + from + ', not in Depends');
      }
    }
    // Not linked, but needed: the browser engine's helper process.
    assert.ok(depends.includes('libqt6webenginecore6-bin'));
    assert.ok(names(field('Recommends')).includes('qemu-user-static'));
    assert.equal(field('Architecture'), 'amd64');
  });

  await t.test('it holds both programs, the scripts as configuration, the desktop entry and the icon', () => {
    for (const f of ['orvalink-desktop', 'modrelay']) {
      assert.ok(fs.statSync(path.join(programdir, f)).mode & 0o111, f + ' executable');
    }
    assert.equal(fs.realpathSync(path.join(root, 'usr/bin/orvalink-desktop')), path.join(programdir, 'orvalink-desktop'));
    for (const f of ['settings.lua', 'automation.lua']) {
      assert.equal(fs.readlinkSync(path.join(programdir, f)), '/etc/orvalink-desktop/' + f);
      assert.ok(fs.existsSync(path.join(root, 'etc/orvalink-desktop', f)), f);
    }
    const control = path.join(scratch, 'control');
    sh('dpkg-deb', ['-e', deb, control]);
    assert.deepEqual(fs.readFileSync(path.join(control, 'conffiles'), 'utf8').trim().split('\n').sort(),
      ['/etc/orvalink-desktop/automation.lua', '/etc/orvalink-desktop/settings.lua']);

    const entry = path.join(root, 'usr/share/applications/orvalink-desktop.desktop');
    sh('desktop-file-validate', [entry]);
    const text = fs.readFileSync(entry, 'utf8');
    assert.match(text, /^Exec=orvalink-desktop %u$/m);
    assert.match(text, /^StartupWMClass=CEFCLIENT$/m, 'the main window\'s class');
    const mimes = /^MimeType=(.*)$/m.exec(text)[1].split(';').filter(Boolean).sort();
    assert.deepEqual(mimes, ['x-scheme-handler/callto', 'x-scheme-handler/sip', 'x-scheme-handler/tel']);
    const icon = /^Icon=(.*)$/m.exec(text)[1];
    assert.ok(fs.existsSync(path.join(root, 'usr/share/icons/hicolor/64x64/apps', icon + '.png')));
    for (const doc of ['README.md', 'page-api.md', 'automation.md', 'plugins.md', 'examples/plugin/echo.c']) {
      assert.ok(fs.existsSync(path.join(root, 'usr/share/doc/orvalink-desktop', doc)), doc);
    }
    const changelog = path.join(root, 'usr/share/doc/orvalink-desktop/changelog.gz');
    assert.equal(sh('dpkg-parsechangelog', ['-l', changelog, '-S', 'Version']).trim(), field('Version'));
    const manual = sh('man', ['-l', '-P', 'cat', path.join(root, 'usr/share/man/man1/orvalink-desktop.1.gz')],
      { env: { ...process.env, MANWIDTH: '80' } });
    for (const option of ['--service-origin=URL', '--command=N', '--autostart=on|off', '--no-sandbox']) {
      assert.ok(manual.includes(option), option);
    }
  });

  const installed = path.join(root, 'usr/bin/orvalink-desktop');
  // The links to the scripts name /etc, which is this machine's here: they
  // are pointed into the scratch root, as they resolve on an installed system.
  for (const f of ['settings.lua', 'automation.lua']) {
    fs.rmSync(path.join(programdir, f));
    fs.symlinkSync(path.join(root, 'etc/orvalink-desktop', f), path.join(programdir, f));
  }
  await t.test('the installed program reports its version', () => {
    assert.match(sh(installed, ['--version']), /^orvalink-desktop \d+\.\d+\.\d+\n$/);
  });

  await t.test('the installed program loads the service\'s page; a tel: link opened on the desktop dials', async () => {
    const service = await new fakeservice().start();
    service.page(`<script>
      report({ loaded: typeof winPos });
      function makeCall(number) { report({ makeCall: number }); }
    </script>`);
    const program = new app({ origin: service.origin, exe: installed }).start();
    t.after(async () => { program.kill(); await service.stop(); });
    assert.deepEqual(await service.report((r) => 'loaded' in r, 30000), { loaded: 'function' });
    assert.ok(!program.lines.some((l) => /Error in settings/.test(l)), 'the scripts in /etc are found');

    // The desktop finds the handler of tel: through the package's entry.
    const home = path.join(scratch, 'home');
    fs.mkdirSync(home);
    sh('update-desktop-database', [path.join(root, 'usr/share/applications')]);
    const env = { ...process.env, XDG_DATA_DIRS: path.join(root, 'usr/share'), XDG_DATA_HOME: path.join(home, 'data'),
      XDG_CONFIG_HOME: path.join(home, 'config'), XDG_CURRENT_DESKTOP: '', DE: '',
      PATH: path.join(root, 'usr/bin') + ':' + process.env.PATH };
    assert.equal(sh('xdg-mime', ['query', 'default', 'x-scheme-handler/tel'], { env }).trim(), 'orvalink-desktop.desktop');
    sh('xdg-open', ['tel:+1%20555%200100'], { env });
    assert.equal((await service.report((r) => 'makeCall' in r)).makeCall, '+15550100');
  });
});
