#!/usr/bin/env node
// The benchmarks behind scripts/bench. Each figure of the desktop program is
// measured against a baseline in the same run and printed as a ratio, with
// the raw numbers beside it; the results also go to a JSON file.
//
//   node bench/run.js --build=DIR --out=DIR [--rounds=N]
//
// Needs a display with a window manager (scripts/bench provides one), wrk and
// nginx. Everything listens on loopback only.
'use strict';

const http = require('node:http');
const net = require('node:net');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, execFileSync } = require('node:child_process');

const root = path.resolve(__dirname, '..');
const demo = require(path.join(root, 'demo', 'server.js'));

function option(name, fallback) {
  const a = process.argv.find((x) => x.startsWith('--' + name + '='));
  return a ? a.slice(name.length + 3) : fallback;
}
const build = path.resolve(option('build', path.join(root, 'build-bench')));
const outdir = path.resolve(option('out', path.join(root, 'build', 'bench')));
const rounds = Number(option('rounds', '21'));
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orvabench-'));

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const now = () => Number(process.hrtime.bigint()) / 1e6;  // ms
const median = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.floor((s.length - 1) / 2)]; };
function percentile(xs, p) {
  const s = [...xs].sort((a, b) => a - b);
  return s[Math.min(s.length - 1, Math.floor(p * s.length))];
}
function log(line) { process.stdout.write(line + '\n'); }

// ------------------------------------------------------------ fake service

// The page the start-up and memory runs load: the demo console, which also
// tells the service when its load event has fired.
const consolepage = fs.readFileSync(path.join(root, 'demo', 'public', 'console.html'), 'utf8').replace('</body>',
  `<script>addEventListener('load', () => fetch('/bench/loaded', { method: 'POST',
    body: JSON.stringify({ origin: performance.timeOrigin, load: performance.now() }) }));</script>\n</body>`);

// The page of the round-trip runs: inside the desktop program it loads the
// echo plugin and calls it with winMakeQXPCall; in the bare browser it posts
// the same message to the echoing channel object. Served cross-origin
// isolated, which gives performance.now() microsecond resolution. The first
// `warmup` calls after the load (while the engine still compiles the page's
// and the bridge's functions, and the programs finish starting) are reported
// apart from the `rounds` rounds of `count` calls that follow.
const roundtripcalls = { runs: 4, warmup: 3000, rounds: 3, count: 2000, size: 64 };
function roundtrippage({ warmup, rounds, count, size }) {
  return `<!doctype html><meta charset="utf-8"><title>round trip</title><script>
(async function () {
  const report = (x) => fetch('/bench/report', { method: 'POST', body: JSON.stringify(x) });
  try {
    let call;
    if (typeof winMakeQXPCall === 'function') {
      const plugin = await new Promise((r) => winLoadQXP(location.origin + '/bench/echo.qxp', r));
      call = (d) => new Promise((r) => winMakeQXPCall(plugin, 'echo', d, r));
    } else {
      const waiting = new Map();
      let next = 0;
      const answered = (w) => { const f = waiting.get(w[4]); if (f) { waiting.delete(w[4]); f(w[3]); } };
      let post;
      if (typeof QWebChannel === 'function') {
        const channel = await new Promise((r) => new QWebChannel(qt.webChannelTransport, r));
        const echo = channel.objects.echo;
        echo.message.connect(answered);
        post = (wire) => echo.post(wire);
      } else {
        // The channel is in the relay's isolated world: JSON text through window events.
        addEventListener('__benchin', (e) => answered(JSON.parse(e.detail)));
        post = (wire) => dispatchEvent(new CustomEvent('__benchout', { detail: JSON.stringify(wire) }));
      }
      call = (d) => new Promise((r) => {
        const id = String(next++);
        waiting.set(id, r);
        post(['makeQXPCall', 1, 'echo', d, id]);
      });
    }
    const payload = 'x'.repeat(${size});
    const measure = async (n) => {
      const samples = [];
      for (let i = 0; i < n; i++) {
        const start = performance.now();
        const answer = await call(payload);
        samples.push(performance.now() - start);
        if (answer !== payload) throw new Error('wrong answer: ' + String(answer).slice(0, 40));
      }
      return samples;
    };
    const warmup = await measure(${warmup});
    const rounds = [];
    for (let r = 0; r < ${rounds}; r++) rounds.push(await measure(${count}));
    report({ warmup, rounds, isolated: self.crossOriginIsolated === true });
  } catch (e) {
    report({ error: String(e) });
  }
})();
</script>`;
}

class service {
  constructor(pluginfile) {
    this.pluginfile = pluginfile;
    this.mode = 'console';
    this.waiters = { loaded: [], report: [] };
    const fallback = demo.handler({ plugins: null });
    this.server = http.createServer((req, res) => {
      const chunks = [];
      req.on('data', (c) => chunks.push(c));
      req.on('end', () => this.handle(req, res, Buffer.concat(chunks).toString('utf8'), fallback));
    });
  }

  async start() {
    await new Promise((r) => this.server.listen(0, '127.0.0.1', r));
    this.origin = 'http://127.0.0.1:' + this.server.address().port;
    return this;
  }

  stop() {
    this.server.closeAllConnections?.();
    return new Promise((r) => this.server.close(r));
  }

  handle(req, res, body, fallback) {
    const p = new URL(req.url, this.origin).pathname;
    if (p === '/a/desktop/' && this.mode === 'console') {
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' });
      res.end(consolepage);
    } else if (p === '/a/desktop/' && this.mode === 'roundtrip') {
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store',
        'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp' });
      res.end(roundtrippage(roundtripcalls));
    } else if (p === '/bench/echo.qxp') {
      res.writeHead(200, { 'Content-Type': 'application/octet-stream' });
      res.end(fs.readFileSync(this.pluginfile));
    } else if (p === '/bench/loaded' || p === '/bench/report') {
      const at = now();
      res.writeHead(204);
      res.end();
      const which = p === '/bench/loaded' ? 'loaded' : 'report';
      const waiting = this.waiters[which];
      this.waiters[which] = [];
      for (const w of waiting) w({ at, body });
    } else {
      fallback(req, res);
    }
  }

  next(which, timeoutms) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('no ' + which + ' from the page')), timeoutms);
      this.waiters[which].push((v) => { clearTimeout(timer); resolve(v); });
    });
  }
}

// ------------------------------------------------------------ processes

// The process and all its descendants, from the parent links in /proc.
function processtree(pid) {
  const parents = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parents.set(Number(entry), Number(fields[1]));
    } catch { /* ended meanwhile */ }
  }
  const tree = [pid];
  for (let i = 0; i < tree.length; i++)
    for (const [child, parent] of parents) if (parent === tree[i]) tree.push(child);
  return tree;
}

// Proportional set size of a process tree in KiB: shared pages are counted
// once across the processes that share them.
function psskib(pid) {
  let total = 0;
  for (const p of processtree(pid)) {
    try {
      const m = /^Pss:\s+(\d+) kB/m.exec(fs.readFileSync(`/proc/${p}/smaps_rollup`, 'utf8'));
      if (m) total += Number(m[1]);
    } catch { /* ended meanwhile */ }
  }
  return total;
}

class program {
  // kind: 'desktop' | 'minimal'; extra: switches for the engine, flags: the
  // bare browser's own (minimal only)
  constructor(kind, origin, extra = [], flags = []) {
    this.kind = kind;
    this.origin = origin;
    this.extra = extra;
    this.flags = flags;
    this.data = path.join(scratch, kind + (extra.length ? '-switches' : '') + flags.join(''));
    fs.mkdirSync(this.data, { recursive: true });
  }

  start(logname) {
    const out = fs.openSync(path.join(scratch, logname + '.log'), 'a');
    const env = { ...process.env, LOCALAPPDATA: path.join(this.data, 'local'),
      ALLUSERSPROFILE: path.join(this.data, 'all') };
    const [exe, args] = this.kind === 'desktop'
      ? [path.join(build, 'orvalink-desktop'), ['--service-origin=' + this.origin]]
      : [path.join(build, 'bench', 'minibrowser'), ['--data=' + this.data, ...this.flags, this.origin + '/a/desktop/',
        ...(this.extra.length ? ['--webEngineArgs', ...this.extra] : [])]];
    this.started = now();
    this.startedepoch = Date.now();
    this.proc = spawn(exe, args, { env, cwd: this.data, stdio: ['ignore', out, out], detached: true });
    fs.closeSync(out);
    this.exited = new Promise((r) => this.proc.on('exit', r));
    return this;
  }

  // Kills the program and every process it started.
  async stop() {
    const tree = processtree(this.proc.pid);
    for (const p of tree.reverse()) { try { process.kill(p, 'SIGKILL'); } catch { /* gone */ } }
    try { process.kill(-this.proc.pid, 'SIGKILL'); } catch { /* gone */ }
    await Promise.race([this.exited, sleep(5000)]);
    for (let i = 0; i < 50 && tree.some((p) => fs.existsSync(`/proc/${p}/stat`) && !zombie(p)); i++) await sleep(100);
  }
}

function zombie(pid) {
  try {
    const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
    return stat.slice(stat.lastIndexOf(')') + 2).startsWith('Z');
  } catch {
    return true;
  }
}

// ------------------------------------------------------------ measurements

// Start-up (spawn → the page's load event reaching the service) and the
// memory of the whole process tree two seconds after the load.
async function startupandmemory(svc) {
  svc.mode = 'console';
  const verbose = ['--enable-logging', '--log-file=' + path.join(scratch, 'minimal-engine.log'), '--v=1'];
  const variants = {
    desktop: () => new program('desktop', svc.origin),
    minimal: () => new program('minimal', svc.origin),
    minimalverbose: () => new program('minimal', svc.origin, verbose),
    minimalisolated: () => new program('minimal', svc.origin, [], ['--isolated']),
    minimalsoftware: () => new program('minimal', svc.origin, [], ['--software']),
  };
  const startup = { desktop: [], minimal: [], minimalverbose: [], minimalisolated: [], minimalsoftware: [] };
  // The same split by the page's own clock: until its navigation started,
  // and from there to its load event.
  const navigation = { desktop: [], minimal: [], minimalverbose: [], minimalisolated: [], minimalsoftware: [] };
  const pageload = { desktop: [], minimal: [], minimalverbose: [], minimalisolated: [], minimalsoftware: [] };
  const memory = { desktop: [], minimal: [], minimalsoftware: [] };
  let drawing = '';
  // Where the start-up time goes, from the start-up lines of each program.
  const phases = { desktop: new Map(), minimal: new Map() };
  // Round 0 makes each profile and warms the disk cache; it is not counted.
  for (let round = 0; round <= rounds; round++) {
    const order = Object.keys(variants);
    if (round % 2) order.reverse();
    for (const name of order) {
      const logfile = path.join(scratch, name + '.log');
      const logstart = fs.existsSync(logfile) ? fs.statSync(logfile).size : 0;
      const p = variants[name]().start(name);
      try {
        const loaded = await svc.next('loaded', 60000);
        const ms = loaded.at - p.started;
        // Memory is compared between the program and the bare browser only.
        if (memory[name]) await sleep(2000);
        const kib = memory[name] ? psskib(p.proc.pid) : 0;
        const times = JSON.parse(loaded.body);
        if (round > 0) {
          startup[name].push(ms);
          navigation[name].push(times.origin - p.startedepoch);
          pageload[name].push(times.load);
          if (memory[name]) memory[name].push(kib);
          const lines = fs.readFileSync(logfile, 'utf8').slice(logstart);
          if (phases[name]) addphases(phases[name], lines, p.startedepoch);
          if (name === 'desktop') drawing = (/^drawing: (.*)$/m.exec(lines) || [])[1] || drawing;
        }
        log(`  round ${round} ${name}: loaded after ${ms.toFixed(0)} ms` + (kib ? `, ${(kib / 1024).toFixed(0)} MiB` : ''));
      } finally {
        await p.stop();
      }
      await sleep(300);
    }
  }
  return { startup, navigation, pageload, memory, drawing,
    phases: Object.fromEntries(Object.entries(phases).map(([name, m]) => [name, Object.fromEntries(m)])) };
}

// Adds one run's start-up phases: from the start to main, then from each
// "start-up: <phase> after N ms" line to the next.
function addphases(phases, log, startedepoch) {
  const entered = /start-up: main entered at (\d+)/.exec(log);
  if (!entered) return;
  const add = (name, ms) => { if (!phases.has(name)) phases.set(name, []); phases.get(name).push(ms); };
  add('process start to main', Number(entered[1]) - startedepoch);
  let last = 0;
  for (const m of log.matchAll(/start-up: (.+) after ([\d.]+) ms/g)) {
    add(m[1], Number(m[2]) - last);
    last = Number(m[2]);
  }
}

// Several runs of each program, alternating, so that the machine's slower
// and faster spells fall on all of them alike. Each figure is the median of
// the rounds' own percentiles; the warm-up calls are pooled apart.
async function roundtrips(svc) {
  svc.mode = 'roundtrip';
  const kinds = ['desktop', 'minimal', 'minimalverbose', 'minimalisolated'];
  const runs = Object.fromEntries(kinds.map((k) => [k, { p50: [], p99: [], warmup: [] }]));
  const verbose = ['--enable-logging', '--log-file=' + path.join(scratch, 'minimal-roundtrip-engine.log'), '--v=1'];
  // minimalisolated: the bare browser with its channel in an isolated world
  // behind an event relay, the form the program's trust boundary takes.
  const make = (kind) => {
    if (kind === 'minimalverbose') return new program('minimal', svc.origin, verbose);
    if (kind === 'minimalisolated') return new program('minimal', svc.origin, [], ['--isolated']);
    return new program(kind, svc.origin);
  };
  for (const kind of Array(roundtripcalls.runs).fill(kinds).flat()) {
    const p = make(kind).start(kind + '-roundtrip');
    try {
      const r = JSON.parse((await svc.next('report', 120000)).body);
      if (r.error) throw new Error(kind + ' round-trip page: ' + r.error);
      if (!r.isolated) log('  warning: the round-trip page is not cross-origin isolated; timer resolution is coarse');
      const p50s = r.rounds.map((xs) => percentile(xs, 0.5));
      const p99s = r.rounds.map((xs) => percentile(xs, 0.99));
      runs[kind].p50.push(...p50s);
      runs[kind].p99.push(...p99s);
      runs[kind].warmup.push(...r.warmup);
      const ms = (xs) => xs.map((x) => x.toFixed(3)).join(' ');
      log(`  ${kind}: rounds p50 ${ms(p50s)} ms, p99 ${ms(p99s)} ms; warm-up p99 ${percentile(r.warmup, 0.99).toFixed(3)} ms`);
    } finally {
      await p.stop();
    }
  }
  const result = {};
  for (const [kind, r] of Object.entries(runs))
    result[kind] = { p50: median(r.p50), p99: median(r.p99), rounds: r.p50.length,
      warmupp99: percentile(r.warmup, 0.99) };
  return result;
}

function freeport() {
  return new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const port = s.address().port;
      s.close(() => resolve(port));
    });
  });
}

function waitport(port) {
  return new Promise((resolve, reject) => {
    const end = Date.now() + 10000;
    const attempt = () => {
      const c = net.connect(port, '127.0.0.1', () => { c.destroy(); resolve(); });
      c.on('error', () => (Date.now() > end ? reject(new Error('nothing listens on ' + port)) : setTimeout(attempt, 50)));
    };
    attempt();
  });
}

// One wrk run: connections per second (one request each, the server closes)
// and the latency percentiles.
function wrk(port, connections = 8) {
  const out = execFileSync('wrk', ['-t1', `-c${connections}`, '-d3s', '--latency', '-H', 'Connection: close',
    `http://127.0.0.1:${port}/api/user/completeauth?code=bench`], { encoding: 'utf8' });
  const rate = Number(/Requests\/sec:\s+([\d.]+)/.exec(out)[1]);
  const unit = (v, u) => Number(v) * ({ us: 0.001, ms: 1, s: 1000 }[u]);
  const pct = (p) => { const m = new RegExp(`\\b${p}%\\s+([\\d.]+)(us|ms|s)\\b`).exec(out); return m ? unit(m[1], m[2]) : NaN; };
  const bad = /Non-2xx or 3xx responses: (\d+)/.exec(out);
  const errors = /Socket errors: (.*)/.exec(out);
  return { rate, p50: pct(50), p99: pct(99), non2xx: bad ? Number(bad[1]) : 0, errors: errors ? errors[1] : '' };
}

async function listener() {
  const body = '<html><h1>You may now close this window</h1></html>';
  const nginxdir = path.join(scratch, 'nginx');
  fs.mkdirSync(nginxdir, { recursive: true });
  const nginxport = await freeport();
  // One worker, the same 51-byte reply, every connection closed after it,
  // and one access log line per request (the listener logs each target).
  fs.writeFileSync(path.join(nginxdir, 'nginx.conf'), `
worker_processes 1;
daemon off;
pid ${nginxdir}/nginx.pid;
error_log ${nginxdir}/error.log;
events { worker_connections 1024; }
http {
  access_log ${nginxdir}/access.log;
  keepalive_timeout 0;
  client_body_temp_path ${nginxdir}/body;
  proxy_temp_path ${nginxdir}/proxy;
  fastcgi_temp_path ${nginxdir}/fastcgi;
  uwsgi_temp_path ${nginxdir}/uwsgi;
  scgi_temp_path ${nginxdir}/scgi;
  server {
    listen 127.0.0.1:${nginxport};
    location /api/user/completeauth { default_type text/html; return 200 '${body}'; }
  }
}
`);
  const nginx = spawn('nginx', ['-p', nginxdir, '-c', path.join(nginxdir, 'nginx.conf')], { stdio: 'ignore' });
  const host = spawn(path.join(build, 'bench', 'signinhost'), ['0', path.join(scratch, 'signinhost.log')],
    { stdio: ['pipe', 'pipe', 'ignore'] });
  let hostout = '';
  host.stdout.on('data', (c) => { hostout += c; });
  try {
    for (let i = 0; i < 100 && !/\n/.test(hostout); i++) await sleep(50);
    const port = Number(hostout.split('\n')[0]);
    await waitport(port);
    await waitport(nginxport);
    const runs = { desktop: [], nginx: [] };
    for (let i = 0; i < 11; i++) {
      runs.nginx.push(wrk(nginxport));
      runs.desktop.push(wrk(port));
      log(`  run ${i}: listener ${runs.desktop[i].rate.toFixed(0)}/s, nginx ${runs.nginx[i].rate.toFixed(0)}/s`);
    }
    // With eight connections the one wrk thread is busy all the time, and its
    // own queue sets the latency's tail (the faster the server, the longer:
    // at 4 connections the listener's p50 is 27 us and its p99 over 300 us);
    // with two it is not, so latency is compared there.
    const light = { desktop: [], nginx: [] };
    for (let i = 0; i < 5; i++) {
      light.nginx.push(wrk(nginxport, 2));
      light.desktop.push(wrk(port, 2));
    }
    for (const r of [...runs.desktop, ...runs.nginx])
      if (r.non2xx || r.errors) log(`  warning: ${r.non2xx} non-2xx replies, socket errors: ${r.errors}`);
    const pick = (xs) => ({ rate: median(xs.map((x) => x.rate)), p50: median(xs.map((x) => x.p50)),
      p99: median(xs.map((x) => x.p99)), non2xx: xs.reduce((a, x) => a + x.non2xx, 0) });
    // Each run measures both back to back, so that their ratio sees the
    // same machine; the medians above are taken side by side.
    const paired = runs.desktop.map((d, i) => d.rate / runs.nginx[i].rate);
    return { desktop: pick(runs.desktop), nginx: pick(runs.nginx), paired,
      light: { desktop: pick(light.desktop), nginx: pick(light.nginx) } };
  } finally {
    host.stdin.end();
    nginx.kill('SIGQUIT');
    await Promise.race([new Promise((r) => host.on('exit', r)), sleep(3000)]);
    await Promise.race([new Promise((r) => nginx.on('exit', r)), sleep(3000)]);
  }
}

// The plugin round trips. The relayed calls write debug lines, which the
// bench program copies into a file as the desktop program does. Where the
// Wine host and the Windows echo plugin were built, a Windows plugin too; its
// Wine prefix is kept in the build directory, made once.
function plugincalls() {
  const b = (name) => path.join(build, 'bench', name);
  const wine = [b('benchechope64.qxp'), path.join(build, 'orvawinehost.exe.so')].every((f) => fs.existsSync(f))
    ? ['--wineplugin=' + b('benchechope64.qxp'), '--winehostdir=' + build, '--wineprefix=' + b('wineprefix'),
      ...(fs.existsSync(b('pingpeerwine.exe.so')) ? ['--winepeer=' + b('pingpeerwine.exe.so')] : [])] : [];
  const child = spawn(b('pluginbench'), ['--log=' + path.join(scratch, 'pluginbench.log'),
    '--relay=' + path.join(build, 'modrelay'), '--relaynative=' + b('modrelaynative'),
    '--plugin64=' + b('libbenchecho64.so'), '--plugin32=' + b('libbenchecho32.so'),
    '--peer64=' + b('pingpeer64'), '--peer32=' + b('pingpeer32'), '--calls=20000', '--size=64', '--size=4096',
    ...wine],
  { stdio: ['ignore', 'pipe', 'ignore'] });
  let out = '';
  child.stdout.on('data', (c) => { out += c; });
  return new Promise((resolve, reject) => {
    child.on('exit', (code) => (code === 0 ? resolve(JSON.parse(out)) : reject(new Error('pluginbench failed: ' + code))));
  });
}

// ------------------------------------------------------------ report

// Whether 32-bit x86 programs run here through an emulator registered with
// the kernel (binfmt_misc) rather than natively.
function i386emulated() {
  try {
    return fs.readdirSync('/proc/sys/fs/binfmt_misc').some((name) => {
      if (!/i386|i486|i686|x86/.test(name) || /64/.test(name)) return false;
      return fs.readFileSync(path.join('/proc/sys/fs/binfmt_misc', name), 'utf8').startsWith('enabled');
    });
  } catch {
    return false;
  }
}

function row(figure, unit, ours, baseline, better, goal, note = '') {
  const ratio = ours / baseline;
  let met = '';
  if (goal) met = (better === 'lower' ? ratio <= goal : ratio >= goal) ? 'yes' : 'NO';
  return { figure, unit, ours, baseline, ratio, better, goal: goal || null, met, note };
}

function fmt(v) {
  if (!Number.isFinite(v)) return '-';
  if (Math.abs(v) >= 1000) return v.toFixed(0);
  if (Math.abs(v) >= 10) return v.toFixed(1);
  return v.toFixed(3);
}

function printtable(rows) {
  const head = ['figure', 'ours', 'baseline', 'unit', 'ratio', 'goal', 'met'];
  const cells = rows.map((r) => [r.figure, fmt(r.ours), fmt(r.baseline), r.unit, Number.isFinite(r.ratio) ? r.ratio.toFixed(2) + 'x' : '-',
    r.goal ? (r.better === 'lower' ? '<= ' : '>= ') + r.goal + 'x' : '', r.met]);
  const widths = head.map((h, i) => Math.max(h.length, ...cells.map((c) => c[i].length)));
  const line = (c) => c.map((x, i) => (i === 0 ? x.padEnd(widths[i]) : x.padStart(widths[i]))).join('  ');
  console.log(line(head));
  console.log(widths.map((w) => '-'.repeat(w)).join('  '));
  for (const c of cells) console.log(line(c));
  for (const r of rows) if (r.note) console.log(`  ${r.figure}: ${r.note}`);
}

async function main() {
  const svc = await new service(path.join(build, 'bench', 'libbenchecho64.so')).start();
  const raw = { when: new Date().toISOString(), host: os.hostname(), cpus: os.cpus().length,
    cpu: os.cpus()[0]?.model, load: os.loadavg(), rounds };
  // --only=startup,roundtrip,listener,plugins measures just those (while
  // working on one figure); a full run measures all.
  const only = option('only', '').split(',').filter(Boolean);
  const wanted = (part) => only.length === 0 || only.includes(part);
  try {
    if (wanted('startup')) {
      log('start-up and memory (' + rounds + ' rounds after a warm-up round)');
      Object.assign(raw, await startupandmemory(svc));
    }
    if (wanted('roundtrip')) {
      log('page bridge round trip');
      raw.roundtrip = await roundtrips(svc);
    }
    if (wanted('listener')) {
      log('sign-in listener against nginx');
      raw.listener = await listener();
    }
    if (wanted('plugins')) {
      log('plugin calls');
      raw.plugins = await plugincalls();
    }
  } finally {
    await svc.stop();
  }

  const s = raw.startup, m = raw.memory, rt = raw.roundtrip, l = raw.listener;
  const spread = (xs) => `${Math.round(Math.min(...xs))}-${Math.round(Math.max(...xs))} ms`;
  const rows = [];
  if (s) rows.push(
    row('start-up to page loaded', 'ms', median(s.desktop), median(s.minimal), 'lower', 1.05,
      `medians of ${rounds} rounds; ours ${spread(s.desktop)}, baseline ${spread(s.minimal)}`),
    row('  until the page\'s navigation starts', 'ms', median(raw.navigation.desktop), median(raw.navigation.minimal),
      'lower', null),
    row('  navigation to the load event', 'ms', median(raw.pageload.desktop), median(raw.pageload.minimal), 'lower',
      null),
    row('  bare browser with verbose engine log', 'ms', median(s.minimalverbose), median(s.minimal), 'lower', null,
      'the bare browser with the --enable-logging --v=1 switches the program uses'),
    row('  bare browser, channel in an isolated world', 'ms', median(s.minimalisolated), median(s.minimal), 'lower',
      null),
    row('    its navigation to the load event', 'ms', median(raw.pageload.minimalisolated), median(raw.pageload.minimal),
      'lower', null),
    row('  bare browser drawn in software', 'ms', median(s.minimalsoftware), median(s.minimal), 'lower', null,
      `as the program draws on a machine without a graphics device; the program here: ${raw.drawing || 'not said'}`),
    row('    ours against that', 'ms', median(s.desktop), median(s.minimalsoftware), 'lower', null),
    ...Object.entries(raw.phases.desktop).map(([name, ms]) => row('  ours: ' + name, 'ms', median(ms), NaN, 'lower', null)),
    ...Object.entries(raw.phases.minimal).map(([name, ms]) => row('  bare: ' + name, 'ms', NaN, median(ms), 'lower', null)),
    row('memory (PSS, all processes)', 'MiB', median(m.desktop) / 1024, median(m.minimal) / 1024, 'lower', 1.05),
    row('  bare browser drawn in software', 'MiB', median(m.minimalsoftware) / 1024, median(m.minimal) / 1024, 'lower',
      null),
    row('    ours against that', 'MiB', median(m.desktop) / 1024, median(m.minimalsoftware) / 1024, 'lower', null));
  if (rt) rows.push(
    row('page round trip p50', 'ms', rt.desktop.p50, rt.minimal.p50, 'lower', 1.25,
      `medians of ${rt.desktop.rounds} rounds of ${roundtripcalls.count} calls in ${roundtripcalls.runs} runs, ` +
      `each run after ${roundtripcalls.warmup} warm-up calls`),
    row('page round trip p99', 'ms', rt.desktop.p99, rt.minimal.p99, 'lower', 1.25),
    row('  bare browser with verbose engine log, p50', 'ms', rt.minimalverbose.p50, rt.minimal.p50, 'lower', null),
    row('  bare browser with verbose engine log, p99', 'ms', rt.minimalverbose.p99, rt.minimal.p99, 'lower', null),
    row('  bare browser, channel in an isolated world, p50', 'ms', rt.minimalisolated.p50, rt.minimal.p50, 'lower',
      null, 'its channel behind an event relay in a script world of its own, as the program\'s trust boundary has it'),
    row('  bare browser, channel in an isolated world, p99', 'ms', rt.minimalisolated.p99, rt.minimal.p99, 'lower',
      null),
    row('  ours against that, p50', 'ms', rt.desktop.p50, rt.minimalisolated.p50, 'lower', null),
    row('  ours against that, p99', 'ms', rt.desktop.p99, rt.minimalisolated.p99, 'lower', null),
    row('  warm-up calls right after the load, p99', 'ms', rt.desktop.warmupp99, rt.minimal.warmupp99, 'lower', null,
      'while the engine compiles the page\'s and the bridge\'s functions and the programs finish starting'),
    row('  warm-up, channel in an isolated world, p99', 'ms', rt.minimalisolated.warmupp99, rt.minimal.warmupp99, 'lower',
      null));
  if (l) rows.push(
    row('listener connections/s', '1/s', l.desktop.rate, l.nginx.rate, 'higher', 1.1,
      `ratios of the runs, each against its own nginx run: ${l.paired.map((r) => r.toFixed(2)).join(' ')}` +
      `, median ${median(l.paired).toFixed(2)}` +
      (l.desktop.non2xx ? `; ${l.desktop.non2xx} replies were not 200` : '')),
    row('listener latency p50', 'ms', l.light.desktop.p50, l.light.nginx.p50, 'lower', null),
    row('listener latency p99', 'ms', l.light.desktop.p99, l.light.nginx.p99, 'lower', 1.0,
      'the same wrk with 2 connections, which leave its thread time to read each reply as it comes'),
    row('  with 8 connections, p50', 'ms', l.desktop.p50, l.nginx.p50, 'lower', null),
    row('  with 8 connections, p99', 'ms', l.desktop.p99, l.nginx.p99, 'lower', null,
      'the connections/s runs: there wrk\'s one thread is busy all the time, and more so the more connections ' +
      'the server takes; its own queue, and the moments another task takes its processor, set the tail'));
  for (const size of raw.plugins ? raw.plugins.sizes : []) {
    const b = `${size.size} B`;
    rows.push(row(`plugin in-process p50, ${b}`, 'us', size.inprocess.p50_us, size.raw64.p50_us, 'lower', null,
      size === raw.plugins.sizes[0] ? 'baseline: raw socket ping-pong with a 64-bit peer; goal p50 <= 10 us' : ''));
    rows.push(row(`plugin in-process p99, ${b}`, 'us', size.inprocess.p99_us, size.raw64.p99_us, 'lower', null));
    rows.push(row(`plugin bridged p50, ${b}`, 'us', size.bridged.p50_us, size.raw32.p50_us, 'lower', 1.3,
      size === raw.plugins.sizes[0] ? 'baseline: raw socket ping-pong with a 32-bit peer, run the same way as the relay' : ''));
    rows.push(row(`plugin bridged p99, ${b}`, 'us', size.bridged.p99_us, size.raw32.p99_us, 'lower', 1.3));
    rows.push(row(`plugin bridged calls/s, ${b}`, '1/s', size.bridged.per_s, size.raw32.per_s, 'higher', 0.75));
    if (size.bridgednative) {
      rows.push(row(`  relay built for this machine, p50, ${b}`, 'us', size.bridgednative.p50_us, size.raw64.p50_us, 'lower',
        null, size === raw.plugins.sizes[0] ? 'the same relay built 64-bit, with the 64-bit plugin, against the 64-bit ' +
          'peer: what the bridge costs where no emulator runs it' + (i386emulated() ? '; on this machine 32-bit ' +
          'programs run under an emulator, which slows every pass of the relay and the plugin over the data' : '') : ''));
      rows.push(row(`  relay built for this machine, p99, ${b}`, 'us', size.bridgednative.p99_us, size.raw64.p99_us, 'lower',
        null));
      rows.push(row(`  relay built for this machine, calls/s, ${b}`, '1/s', size.bridgednative.per_s, size.raw64.per_s,
        'higher', null));
    }
    if (size.wine) {
      const base = size.rawwine || size.raw64;
      rows.push(row(`plugin Windows (Wine) p50, ${b}`, 'us', size.wine.p50_us, base.p50_us, 'lower', 1.3,
        size === raw.plugins.sizes[0] ? 'a PE plugin through orvawinehost; baseline: the raw ping-pong with ' +
          (size.rawwine ? 'a Winelib peer under the same Wine prefix' : 'a 64-bit peer (no Winelib peer built)') : ''));
      rows.push(row(`plugin Windows (Wine) p99, ${b}`, 'us', size.wine.p99_us, base.p99_us, 'lower', 1.3));
      rows.push(row(`plugin Windows (Wine) calls/s, ${b}`, '1/s', size.wine.per_s, base.per_s, 'higher', 0.75));
    }
  }
  console.log();
  printtable(rows);
  if (raw.plugins) {
    const inp50 = raw.plugins.sizes[0].inprocess.p50_us;
    console.log(`  in-process p50 ${inp50.toFixed(1)} us: goal <= 10 us ${inp50 <= 10 ? 'met' : 'NOT met'}`);
  }

  fs.mkdirSync(outdir, { recursive: true });
  const stamp = raw.when.replace(/[:.]/g, '-');
  const json = JSON.stringify({ rows, raw }, null, 2);
  fs.writeFileSync(path.join(outdir, `bench-${stamp}.json`), json);
  fs.writeFileSync(path.join(outdir, 'latest.json'), json);
  console.log(`\nresults: ${path.join(outdir, `bench-${stamp}.json`)}`);
}

main().catch((e) => {
  console.error(e.stack || String(e));
  process.exitCode = 1;
});
