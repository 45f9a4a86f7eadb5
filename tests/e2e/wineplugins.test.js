// Windows (PE) plugins served through orvawinehost under a real Wine: the
// mingw-w64 test plugin (tests/winplugins/testpluginpe.c) loaded and called
// from the page. One Wine prefix serves every case here: it is made once (its
// creation takes seconds) and the second start of the program reuses it.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { fakeservice, app, exe } = require('./lib/harness');

const builddir = path.dirname(exe);
const pe64 = path.join(builddir, 'tests', 'testpluginpe64.qxp');
const pe32 = path.join(builddir, 'tests', 'testpluginpe32.qxp');
const host = path.join(builddir, 'orvawinehost.exe.so');
const missing = [host, pe64].filter((f) => !fs.existsSync(f));

function sha1hex(text) {
  const d = crypto.createHash('sha1').update(text, 'utf8').digest();
  for (let i = 0; i < d.length; i += 4) d.subarray(i, i + 4).reverse();
  return d.toString('hex');
}

const helpers = `<script>
  function load(url, key) { return winLoadQXP(url, function (n) { report({ key: key, loaded: n }); }); }
  function call(n, fn, data, key) { return winMakeQXPCall(n, fn, data, function (r) { report({ key: key, result: r }); }); }
</script>`;

test('Windows plugins run through Wine', { skip: missing.length ? 'not built: ' + missing.join(', ') : false }, async (t) => {
  const service = await new fakeservice().start();
  const run = service.scripted(helpers);
  const u = (p) => service.origin + p;
  for (const [p, f] of [['/w/a.qxp', pe64], ['/w/b.qxp', pe64], ['/w/crash.qxp', pe64], ['/w/x86.qxp', pe32]]) {
    service.route(p, (req, res) => res.end(fs.readFileSync(f)));
  }
  const first = new app({ origin: service.origin }).start();
  const all = path.join(first.data, 'all');
  const datadir = path.join(all, 'orvalink Desktop for Windows');
  const prefix = path.join(datadir, 'wine');
  const logof = (p) => fs.readFileSync(path.join(datadir, 'qxDownloads', sha1hex(u(p))) + '.log', 'utf8').split('\n').slice(0, -1);
  let second;
  t.after(async () => {
    for (const program of [first, second]) if (program) program.kill();
    // A program killed midway leaves its Wine server behind.
    try { execFileSync('/usr/bin/env', ['WINEPREFIX=' + prefix, '/usr/lib/wine/wineserver', '-k'], { stdio: 'ignore' }); } catch {}
    await service.stop();
  });
  await service.report((x) => x.ready === 1);
  const answer = (key) => service.report((x) => x.key === key, 60000);

  await t.test('the page loads a PE plugin and calls it; the prefix is made on first use', async () => {
    run(`load('${u('/w/a.qxp')}', 'a')`);
    const n = (await answer('a')).loaded;
    run(`call(${n}, 'echo', 'héllo ☎ "q"', 'utf8'); call(${n}, 'null', '', 'null'); call(${n}, 'empty', '', 'empty');
         call(${n}, 'a|b', 'c', 'split'); const big = 'é'.repeat(150 * 1024) + '!';
         winMakeQXPCall(${n}, 'echo', big, (r) => report({ key: 'big', same: r === big, length: r.length }))`);
    assert.equal((await answer('utf8')).result, 'héllo ☎ "q"');
    assert.equal((await answer('null')).result, '');
    assert.equal((await answer('empty')).result, '');
    // The host splits at the first "|", as modrelay does.
    assert.equal((await answer('split')).result, 'a:b|c');
    assert.deepEqual(await answer('big'), { key: 'big', same: true, length: 150 * 1024 + 1 });
    await first.line(/^wine: creating the Windows plugin prefix /);
    assert.ok(first.lines.some((l) => /^qxp::runthroughpipe send ini$/.test(l)));
  });

  await t.test('two PE plugins at once; a crash is answered empty and only that plugin ends', async () => {
    for (const [p, k] of [['/w/b.qxp', 'b'], ['/w/crash.qxp', 'c']]) run(`load('${u(p)}', '${k}')`);
    const b = (await answer('b')).loaded;
    const c = (await answer('c')).loaded;
    run(`call(${b}, 'echo', 'for b', 'b1'); call(${c}, 'crash', '', 'c1')`);
    assert.equal((await answer('b1')).result, 'for b');
    const crash = Date.now();
    assert.equal((await answer('c1')).result, '');
    assert.ok(Date.now() - crash < 3000, 'crash answered after ' + (Date.now() - crash) + ' ms');
    run(`call(${c}, 'echo', 'later', 'c2'); call(${b}, 'echo', 'still', 'b2'); call(1, 'echo', 'first', 'a2')`);
    assert.equal((await answer('c2')).result, '');
    assert.equal((await answer('b2')).result, 'still');
    assert.equal((await answer('a2')).result, 'first');
    await first.line(/^qxp::runthroughpipe bridge has gone/);
  });

  await t.test('a 32-bit PE plugin runs where a 32-bit Wine starts, else is refused saying so', async (tt) => {
    if (!fs.existsSync(pe32)) return tt.skip('no 32-bit mingw-w64');
    run(`load('${u('/w/x86.qxp')}', 'x86')`);
    const n = (await answer('x86')).loaded;
    const said = await Promise.race([
      first.line(/: a 32-bit Windows plugin, which needs a 32-bit Wine .*; not loaded$/, 60000).then(() => 'refused'),
      (async () => { run(`call(${n}, 'echo', 'x86', 'x86c')`); return (await answer('x86c')).result; })(),
    ]);
    if (said === 'refused') return tt.skip('32-bit Wine cannot start on this system');
    assert.equal(said, 'x86');
  });

  await t.test('at exit every PE plugin gets "fini" and Wine stops', async () => {
    assert.deepEqual(await first.stop(), { code: 0, signal: null });
    for (const p of ['/w/a.qxp', '/w/b.qxp']) assert.equal(logof(p).at(-1), 'fini|', p);
    assert.deepEqual(logof('/w/crash.qxp'), ['ini|', 'ini|', 'crash|']);
  });

  await t.test('a second start reuses the prefix', async () => {
    second = new app({ origin: service.origin, env: { ALLUSERSPROFILE: all } }).start();
    await service.report((x) => x.ready === 2);
    run(`load('${u('/w/a.qxp')}', 'again')`);
    const n = (await answer('again')).loaded;
    run(`call(${n}, 'echo', 'again', 'again1')`);
    assert.equal((await answer('again1')).result, 'again');
    assert.ok(!second.lines.some((l) => /^wine: creating/.test(l)));
    assert.deepEqual(await second.stop(), { code: 0, signal: null });
  });
});
