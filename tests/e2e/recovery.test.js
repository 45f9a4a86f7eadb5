// The start page comes back by itself: after the service was down at start,
// after its renderer was killed, and after server errors.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { fakeservice, app, until, mainwindowid, xdotool } = require('./lib/harness');

// The renderers below the program `root`: the children of the engine's
// zygote, which keep its command line until they name themselves (if ever).
function renderers(root) {
  const read = (pid, file) => { try { return fs.readFileSync(`/proc/${pid}/${file}`, 'utf8'); } catch { return ''; } };
  const parent = (pid) => { const st = read(pid, 'stat'); return Number(st.slice(st.lastIndexOf(')') + 2).split(' ')[1]) || 0; };
  const below = (pid) => { while (pid > 1 && pid !== root) pid = parent(pid); return pid === root; };
  return fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p)).map(Number).filter((pid) => below(pid) &&
    (read(pid, 'cmdline').includes('--type=renderer') || read(parent(pid), 'cmdline').includes('--type=zygote')));
}

function roundtrip(run, service, tag) {
  run(`winMakeQXPCall(77, 'echo', 'x', function (r) { report({ ${tag}: r }); })`);
  return service.report((x) => tag in x);
}

test('a service down at start, a killed renderer', async (t) => {
  // A port on which nothing listens until the service comes up.
  const probe = await new fakeservice().start();
  const origin = probe.origin;
  await probe.stop();
  const service = new fakeservice();
  const run = service.scripted();
  const program = new app({ origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  // When each failed try was logged, and the wait before the next.
  const waits = [];
  program.events.on('line', (l) => {
    const m = /next try in (\d+) ms$/.exec(l);
    if (m) waits.push({ at: Date.now(), ms: Number(m[1]) });
  });

  await t.test('the connecting page retries, and "Try now" tries at once', async () => {
    await program.line(/^page: start page failed: the service could not be reached .*; next try in \d+ ms$/);
    await program.line(/^tray: tooltip orvalink Desktop \(connecting…\)$/);
    // A click on the page gives the window the focus, Tab the button, Return
    // presses it; again until the program has taken it (the page may be
    // replaced by the next try meanwhile).
    const id = await until(() => mainwindowid(), 'the main window');
    await until(() => {
      if (program.lines.includes('page: loading the start page (Try now)')) return true;
      xdotool('mousemove', '--window', id, '400', '40');
      xdotool('click', '1');
      xdotool('key', 'Tab', 'Return');
      return false;
    }, '"Try now" to be taken', 20000, 1000);
  });
  await t.test('once the service is up, the page loads within the back-off and its functions work', async () => {
    service.origin = origin;
    await new Promise((r) => service.server.listen(Number(new URL(origin).port), '127.0.0.1', r));
    await service.report((x) => x.ready === 1, 70000);
    // The try after the last failure loads the page: within its wait, and
    // the time a load takes.
    const last = waits[waits.length - 1];
    assert.ok(Date.now() - last.at <= last.ms + 5000, `loaded ${Date.now() - last.at} ms after a wait of ${last.ms}`);
    assert.equal((await roundtrip(run, service, 'first')).first, '');
    await program.line(/^tray: tooltip orvalink Desktop$/);
  });
  await t.test('a killed renderer: the page is back within seconds and answers', async () => {
    const killed = await until(() => { const r = renderers(program.proc.pid); return r.length && r; }, 'a renderer');
    for (const pid of killed) process.kill(pid, 'SIGKILL');
    await program.line(/^page: renderer ended: (killed|crashed|abnormal), exit code -?\d+$/);
    await service.report((x) => x.ready === 2, 10000);
    assert.equal((await roundtrip(run, service, 'second')).second, '');
  });
});

test('a service answering 503 twice, then the page', async (t) => {
  const service = await new fakeservice().start();
  let busy = 2;
  service.route('/a/desktop/', (req, res) => {
    if (busy-- > 0) {
      res.writeHead(503, { 'Content-Type': 'text/plain' });
      res.end('busy');
      return;
    }
    res.writeHead(200, { 'Content-Type': 'text/html' });
    res.end(`<script>fetch('/report', { method: 'POST', body: JSON.stringify({ loaded: typeof winPos }) })</script>`);
  });
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  assert.equal((await service.report((x) => x.loaded, 20000)).loaded, 'function');
  const failures = program.lines.filter((l) => l.startsWith('page: start page failed: the service answered with status 503'));
  assert.equal(failures.length, 2);
});
