// Native plugins loaded and called from the page: real 64-bit (in-process)
// and 32-bit (through modrelay) test plugin libraries served by the fake
// service. The test plugin logs every call it gets to "<its file>.log".
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { fakeservice, app, sleep, until, exe } = require('./lib/harness');

const builddir = path.dirname(exe);
const plugin64 = process.env.ORVALINK_TESTPLUGIN64 || path.join(builddir, 'tests', 'libtestplugin64.so');
const plugin32 = process.env.ORVALINK_TESTPLUGIN32 || path.join(builddir, 'tests', 'libtestplugin32.so');

// The plugin file name: SHA-1 of the URL with each 4-byte group reversed.
function sha1hex(text) {
  const d = crypto.createHash('sha1').update(text, 'utf8').digest();
  for (let i = 0; i < d.length; i += 4) d.subarray(i, i + 4).reverse();
  return d.toString('hex');
}

const downloadsof = (program) => path.join(program.data, 'all', 'orvalink Desktop for Windows', 'qxDownloads');
const logof = (program, url) => {
  try {
    return fs.readFileSync(path.join(downloadsof(program), sha1hex(url)) + '.log', 'utf8').split('\n').slice(0, -1);
  } catch {
    return [];
  }
};

function servefile(res, file) {
  const body = fs.readFileSync(file);
  res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': body.length });
  res.end(body);
}

// A download the test lets go of when it chooses.
function held(service, pathname, file) {
  let waiting = null;
  let released = false;
  service.route(pathname, (req, res) => { if (released) servefile(res, file); else waiting = res; });
  return () => {
    released = true;
    if (waiting) servefile(waiting, file);
  };
}

// Page helpers: load(url) and call(n, fn, data) report their answers; call
// answers are numbered in the order the page got them (reports may overtake
// each other on the way).
const helpers = `<script>
  var answers = 0;
  function load(url, key) { return winLoadQXP(url, function (n) { report({ key: key, loaded: n }); }); }
  function call(n, fn, data, key) {
    var at = Date.now();
    return winMakeQXPCall(n, fn, data, function (r) {
      report({ key: key, result: r, ms: Date.now() - at, seq: ++answers });
    });
  }
</script>`;

test('plugins loaded and called from the page', async (t) => {
  for (const f of [plugin64, plugin32]) assert.ok(fs.existsSync(f), 'test plugin missing: ' + f);
  const service = await new fakeservice().start();
  const run = service.scripted(helpers);
  const u = (p) => service.origin + p;
  const release64 = held(service, '/p/first64.qxp', plugin64);
  const release32 = held(service, '/p/first32.qxp', plugin32);
  for (const [p, f] of [['/p/echo64.qxp', plugin64], ['/p/Echo64.qxp', plugin64], ['/p/crash32.qxp', plugin32],
    ['/p/upper64.QXP', plugin64]]) {
    service.route(p, (req, res) => servefile(res, f));
  }
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((x) => x.ready === 1);
  const answer = (key) => service.report((x) => x.key === key);
  const downloads = (p) => service.requests.filter((r) => r.path === p).length;

  await t.test('calls made before a plugin has started run newest first, after "ini"', async () => {
    // The first two plugins get the numbers 1 and 2; the page calls them
    // while their downloads are held back.
    run(`load('${u('/p/first64.qxp')}', 'l64'); load('${u('/p/first32.qxp')}', 'l32');
         for (const x of ['a', 'b', 'c']) { call(1, 'echo', x, '64' + x); call(2, 'echo', x, '32' + x); }
         report({ queued: true })`);
    await service.report((x) => x.queued);
    await until(() => downloads('/p/first64.qxp') && downloads('/p/first32.qxp'), 'both downloads asked for');
    await sleep(300);
    release64();
    release32();
    assert.equal((await answer('l64')).loaded, 1);
    assert.equal((await answer('l32')).loaded, 2);
    for (const bits of ['64', '32']) {
      for (const x of ['a', 'b', 'c']) assert.equal((await answer(bits + x)).result, x);
      const order = service.reports.filter((r) => typeof r.key === 'string' && /^(64|32)[abc]$/.test(r.key) &&
        r.key.startsWith(bits)).sort((x, y) => x.seq - y.seq).map((r) => r.result);
      assert.deepEqual(order, ['c', 'b', 'a'], bits + '-bit answers');
    }
    assert.deepEqual(logof(program, u('/p/first64.qxp')), ['ini|', 'echo|c', 'echo|b', 'echo|a']);
    // The relay calls "ini" itself before it passes on the host's "ini".
    assert.deepEqual(logof(program, u('/p/first32.qxp')), ['ini|', 'ini|', 'echo|c', 'echo|b', 'echo|a']);
    await program.line(/^qxp::runthroughpipe send ini$/);
  });

  await t.test('the downloaded file is kept under the SHA-1 name of its URL', () => {
    for (const [p, f] of [['/p/first64.qxp', plugin64], ['/p/first32.qxp', plugin32]]) {
      assert.ok(fs.readFileSync(path.join(downloadsof(program), sha1hex(u(p)))).equals(fs.readFileSync(f)), p);
    }
  });

  await t.test('a URL loaded twice is downloaded once and keeps its number; case makes another plugin', async () => {
    run(`load('${u('/p/echo64.qxp')}', 'e1')`);
    const first = (await answer('e1')).loaded;
    assert.equal(first, 3);
    run(`load('${u('/p/echo64.qxp')}', 'e2'); load('${u('/p/Echo64.qxp')}', 'E')`);
    assert.equal((await answer('e2')).loaded, first);
    assert.equal((await answer('E')).loaded, 4);
    assert.equal(downloads('/p/echo64.qxp'), 1);
    assert.equal(downloads('/p/Echo64.qxp'), 1);
  });

  await t.test('results reach the page unchanged, in-process and relayed', async () => {
    const text = 'quote " backslash \\\\ line\\nbreak </script> é ☎';
    run(`call(3, 'echo', '${text}', 'x64'); call(2, 'echo', '${text}', 'x32');
         call(3, 'null', '', 'n64'); call(2, 'null', '', 'n32'); call(2, 'other', 'v', 'o32')`);
    const want = 'quote " backslash \\ line\nbreak </script> é ☎';
    assert.equal((await answer('x64')).result, want);
    assert.equal((await answer('x32')).result, want);
    assert.equal((await answer('n64')).result, '');
    assert.equal((await answer('n32')).result, '');
    assert.equal((await answer('o32')).result, 'other:v');
  });

  await t.test('a number no plugin has is answered empty at once, even while plugins are busy', async () => {
    run(`call(3, 'slow', '3000', 'busy'); call(77, 'echo', 'x', 'none')`);
    const none = await answer('none');
    assert.equal(none.result, '');
    assert.ok(none.ms < 1500, 'answered after ' + none.ms + ' ms');
    assert.equal((await answer('busy')).result, 'slept');
  });

  await t.test('a download answered 404, or of a URL ending "QXP", never answers the page', async () => {
    run(`load('${u('/p/missing.qxp')}', 'missing'); load('${u('/p/upper64.QXP')}', 'upper')`);
    await until(() => downloads('/p/missing.qxp') && downloads('/p/upper64.QXP'), 'both downloads asked for');
    await sleep(2000);
    assert.ok(!service.reports.some((x) => x.key === 'missing' || x.key === 'upper'));
    // The "QXP" file was neither put in place nor loaded, and no download
    // left its unfinished file behind.
    assert.ok(!fs.existsSync(path.join(downloadsof(program), sha1hex(u('/p/upper64.QXP')))));
    assert.deepEqual(logof(program, u('/p/upper64.QXP')), []);
    assert.deepEqual(fs.readdirSync(downloadsof(program)).filter((f) => f.startsWith('.')), []);
  });

  await t.test('a URL with a space and a non-ASCII letter names its file as the page wrote it', async () => {
    service.route('/p/%C3%A4%20b.qxp', (req, res) => servefile(res, plugin64));
    const url = u('/p/ä b.qxp');
    run(`load('${url}', 'odd')`);
    const n = (await answer('odd')).loaded;
    run(`call(${n}, 'echo', 'odd', 'oddcall')`);
    assert.equal((await answer('oddcall')).result, 'odd');
    assert.deepEqual(logof(program, url), ['ini|', 'echo|odd']);
  });

  await t.test('a file that is no library is neither loaded nor bridged, and says so', async () => {
    service.route('/p/page.qxp', '<p>not a library');
    run(`load('${u('/p/page.qxp')}', 'page')`);
    assert.equal(typeof (await answer('page')).loaded, 'number');
    const file = path.join(downloadsof(program), sha1hex(u('/p/page.qxp')));
    await program.line(new RegExp('^qxp::run ' + file.replace(/[.]/g, '\\.') +
      ': Not a valid PE file; the plugin is neither loaded nor bridged$'));
  });

  await t.test('a relayed plugin that crashes answers empty from then on; the rest goes on', async () => {
    run(`load('${u('/p/crash32.qxp')}', 'c')`);
    const n = (await answer('c')).loaded;
    run(`call(${n}, 'echo', 'before', 'c1')`);
    assert.equal((await answer('c1')).result, 'before');
    run(`call(${n}, 'crash', '', 'c2')`);
    assert.equal((await answer('c2')).result, '');
    run(`call(${n}, 'echo', 'after', 'c3'); call(2, 'echo', 'still', 'c4'); call(3, 'echo', 'here', 'c5')`);
    assert.equal((await answer('c3')).result, '');
    assert.equal((await answer('c4')).result, 'still');
    assert.equal((await answer('c5')).result, 'here');
    await program.line(/^qxp::runthroughpipe bridge has gone/);
  });

  await t.test('two relayed plugins started together each serve their own calls', async () => {
    const releases = ['/p/twin-a.qxp', '/p/twin-b.qxp'].map((p) => held(service, p, plugin32));
    run(`load('${u('/p/twin-a.qxp')}', 'ta'); load('${u('/p/twin-b.qxp')}', 'tb')`);
    await until(() => downloads('/p/twin-a.qxp') && downloads('/p/twin-b.qxp'), 'both downloads asked for');
    for (const release of releases) release();
    const a = (await answer('ta')).loaded;
    const b = (await answer('tb')).loaded;
    run(`call(${a}, 'echo', 'for a', 'ca'); call(${b}, 'echo', 'for b', 'cb')`);
    assert.equal((await answer('ca')).result, 'for a');
    assert.equal((await answer('cb')).result, 'for b');
    assert.deepEqual(logof(program, u('/p/twin-a.qxp')), ['ini|', 'ini|', 'echo|for a']);
    assert.deepEqual(logof(program, u('/p/twin-b.qxp')), ['ini|', 'ini|', 'echo|for b']);
  });

  await t.test('an answer to a request of an earlier page load never reaches the new page', async () => {
    // A fresh document, whose first request (id 0) is a slow call ...
    run('location.reload()');
    await service.report((x) => x.ready === 2);
    run(`call(3, 'slow', '3000', 'stale'); location.reload()`);
    await service.report((x) => x.ready === 3);
    // ... and a new document whose first request (id 0 again) waits longer.
    const release = held(service, '/p/late64.qxp', plugin64);
    run(`load('${u('/p/late64.qxp')}', 'late')`);
    await until(() => downloads('/p/late64.qxp'), 'the held download');
    await sleep(4000);
    release();
    const late = await answer('late');
    assert.equal(typeof late.loaded, 'number', 'the new page\'s callback got ' + JSON.stringify(late.loaded));
    assert.ok(!service.reports.some((x) => x.key === 'stale'));
  });

  await t.test('a same-document navigation keeps the page\'s requests', async () => {
    run(`call(3, 'slow', '1000', 'hash'); location.hash = '#elsewhere'; history.pushState(null, '', '#pushed')`);
    assert.equal((await answer('hash')).result, 'slept');
  });

  await t.test('a download or a refused navigation keeps the page\'s requests', async () => {
    service.route('/files/report.bin', (req, res) => {
      res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Disposition': 'attachment; filename="r.bin"' });
      res.end('12345');
    });
    run(`call(3, 'slow', '1500', 'dl'); location.href = '/files/report.bin'`);
    assert.equal((await answer('dl')).result, 'slept');
    run(`call(3, 'slow', '1500', 'tel'); location.href = 'tel:+15550100'`);
    assert.equal((await answer('tel')).result, 'slept');
  });

  await t.test('at exit every idle plugin gets "fini"; a busy one or a running download does no harm', async () => {
    held(service, '/p/never.qxp', plugin64);
    run(`call(4, 'slow', '4000', 'atexit'); load('${u('/p/never.qxp')}', 'never')`);
    await until(() => downloads('/p/never.qxp'), 'the download that never ends');
    assert.deepEqual(await program.stop(), { code: 0, signal: null });
    // The busy plugin is neither waited for nor freed under its worker.
    assert.ok(program.lines.indexOf('plugin 4: its worker is still busy; the plugin is left to the end of the process') >
      program.lines.indexOf('shutdown: application state released'));
    for (const p of ['/p/first64.qxp', '/p/first32.qxp', '/p/echo64.qxp', '/p/late64.qxp', '/p/twin-a.qxp',
      '/p/twin-b.qxp']) {
      const log = logof(program, u(p));
      assert.equal(log[log.length - 1], 'fini|', p + ': ' + log.join(', '));
    }
    assert.deepEqual(logof(program, u('/p/crash32.qxp')), ['ini|', 'ini|', 'echo|before', 'crash|']);
  });
});
