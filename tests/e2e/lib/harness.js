// End-to-end test harness: a loopback fake service whose start page the test
// chooses, the real program started against it, and helpers that observe the
// program from outside (its debug output, X11 through xdotool, xclip).
'use strict';

const http = require('node:http');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, execFileSync } = require('node:child_process');
const { EventEmitter } = require('node:events');

const root = path.resolve(__dirname, '../../..');
// A relative ORVALINK_EXE names a file from where the tests were started (the
// program itself starts in its own data folder).
const exe = path.resolve(process.env.ORVALINK_EXE || path.join(root, 'build', 'orvalink-desktop'));

function sleep(ms) { return new Promise((r) => setTimeout(r, ms)); }

// Data folders of the programs a test file started; removed when it ends.
const madedirs = [];
process.on('exit', () => {
  for (const d of madedirs) fs.rmSync(d, { recursive: true, force: true });
});

// Polls `probe` until it returns a truthy value or the time runs out.
async function until(probe, what, timeoutms = 15000, stepms = 100) {
  const end = Date.now() + timeoutms;
  for (;;) {
    const v = await probe();
    if (v) return v;
    if (Date.now() > end) throw new Error('timed out waiting for ' + what);
    await sleep(stepms);
  }
}

// Resolves with the first of `source.lines` (past, or future as
// `source.events` emits 'line') that matches `re`.
function awaitline(source, re, timeoutms) {
  const found = source.lines.find((l) => re.test(l));
  if (found !== undefined) return Promise.resolve(found);
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      source.events.off('line', on);
      const last = source.lines.slice(-30).map((l) => (l.length > 200 ? l.slice(0, 200) + '...' : l));
      reject(new Error('no line matching ' + re + '; last lines:\n' + last.join('\n')));
    }, timeoutms);
    const on = (l) => {
      if (!re.test(l)) return;
      clearTimeout(timer);
      source.events.off('line', on);
      resolve(l);
    };
    source.events.on('line', on);
  });
}

// Script every served page gets first: report(x) posts x to the service.
const prelude = `<script>
window.report = function (x) {
  return fetch('/report', { method: 'POST', body: JSON.stringify(x), keepalive: true });
};
</script>`;

class fakeservice extends EventEmitter {
  constructor() {
    super();
    this.requests = [];
    this.reports = [];
    this.routes = new Map();
    this.startpage = '<!doctype html><title>start</title><p>start';
    this.server = http.createServer((req, res) => this.handle(req, res));
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

  // The HTML of the start page "/a/desktop/" (the report() prelude is added).
  page(html) { this.startpage = html; }

  // An extra route: handler(req, res, body) or a string of HTML.
  route(pathname, handler) { this.routes.set(pathname, handler); }

  handle(req, res) {
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => {
      const body = Buffer.concat(chunks);
      const url = new URL(req.url, this.origin);
      this.requests.push({ method: req.method, path: url.pathname, url: req.url, headers: req.headers });
      if (url.pathname === '/report' && req.method === 'POST') {
        let value;
        try { value = JSON.parse(body.toString('utf8')); } catch { value = body.toString('utf8'); }
        this.reports.push(value);
        this.emit('report', value);
        res.writeHead(204, { 'Access-Control-Allow-Origin': '*' });
        res.end();
        return;
      }
      const r = this.routes.get(url.pathname);
      if (typeof r === 'function') return r(req, res, body);
      const html = typeof r === 'string' ? r : (url.pathname === '/a/desktop/' ? this.startpage : null);
      if (html === null) {
        res.writeHead(404, { 'Content-Type': 'text/plain' });
        res.end('not found');
        return;
      }
      res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' });
      res.end(prelude + html);
    });
  }

  // Makes the start page a scripted one: it reports { ready: n } (n counts
  // its loads), then runs each script given to the returned run(), in order.
  // Extra HTML (e.g. functions the page defines) goes before the loop.
  scripted(extra = '') {
    const queue = [];
    let waiting = null;
    let loads = 0;
    // Scripts go to the newest document only. A page that navigates away may
    // still ask for the next script (its loop goes on until the document is
    // gone): such a request is never answered, and a script whose request
    // closed unanswered goes back to the queue.
    this.route('/next', (req, res) => {
      const document = Number(new URL(req.url, this.origin).searchParams.get('n'));
      if (document !== loads) return;
      let answered = null;
      const send = (code) => {
        answered = code;
        res.writeHead(200, { 'Content-Type': 'text/javascript' });
        res.end(code);
      };
      res.on('close', () => {
        if (waiting?.send === send) waiting = null;
        if (answered !== null && !res.writableFinished) queue.unshift(answered);
      });
      if (queue.length) send(queue.shift()); else waiting = { send, document };
    });
    this.route('/loads', (req, res) => { res.writeHead(200); res.end(String(++loads)); });
    this.page(extra + `<script>
      (async function () {
        const n = Number(await (await fetch('/loads')).text());
        report({ ready: n });
        for (;;) {
          const code = await (await fetch('/next?n=' + n)).text();
          try { await (0, eval)(code); } catch (e) { report({ error: String(e) }); }
        }
      })();
    </script>`);
    return (code) => {
      if (waiting && waiting.document === loads) {
        const w = waiting;
        waiting = null;
        w.send(code);
      } else {
        queue.push(code);
      }
    };
  }

  // Paths requested so far, for failure messages.
  trail() {
    return this.requests.map((r) => r.method + ' ' + r.url).join('\n');
  }

  // Resolves with the first report (past or future) that `match` accepts.
  report(match, timeoutms = 15000) {
    const found = this.reports.find(match);
    if (found !== undefined) return Promise.resolve(found);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.off('report', on);
        reject(new Error('no matching report; got: ' + JSON.stringify(this.reports).slice(0, 2000)));
      }, timeoutms);
      const on = (v) => {
        if (!match(v)) return;
        clearTimeout(timer);
        this.off('report', on);
        resolve(v);
      };
      this.on('report', on);
    });
  }
}

class app {
  // options: origin, args (extra), env (extra), exe (path), cwd, uid and gid
  // (run as that user, without supplementary groups)
  constructor(options) {
    this.options = options;
    this.lines = [];
    this.events = new EventEmitter();
    this.data = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-e2e-'));
    madedirs.push(this.data);
  }

  start() {
    const o = this.options;
    const env = { ...process.env, LOCALAPPDATA: path.join(this.data, 'local'),
      ALLUSERSPROFILE: path.join(this.data, 'all'), ...(o.env || {}) };
    const args = ['--service-origin=' + o.origin, ...(o.args || [])];
    this.env = env;
    this.proc = spawn(o.exe || exe, args, { env, cwd: o.cwd || this.data, stdio: ['ignore', 'pipe', 'pipe'],
      ...this.user() });
    this.exited = new Promise((r) => this.proc.on('exit', (code, signal) => r({ code, signal })));
    let partial = '';
    const take = (chunk) => {
      partial += chunk.toString('utf8');
      const parts = partial.split('\n');
      partial = parts.pop();
      for (const l of parts) {
        this.lines.push(l);
        this.events.emit('line', l);
      }
    };
    this.proc.stdout.on('data', take);
    this.proc.stderr.on('data', take);
    return this;
  }

  // Resolves with the first debug line (past or future) matching `re`.
  line(re, timeoutms = 20000) {
    return awaitline(this, re, timeoutms);
  }

  // The user the program runs as, when not this one: spawn's options.
  user() {
    const o = this.options;
    return o.uid === undefined ? {} : { uid: o.uid, gid: o.gid };
  }

  // Posts a window command through a second copy of the program (as the
  // program's user, who alone may reach it).
  command(text) {
    return new Promise((resolve) => {
      const user = this.options.uid === undefined ? {} : { ...this.user(), env: this.env };
      const p = spawn(this.options.exe || exe, ['--command=' + text], { stdio: ['ignore', 'pipe', 'pipe'], ...user });
      let err = '';
      p.stderr.on('data', (c) => { err += c; });
      p.on('exit', (code) => resolve({ code, err }));
    });
  }

  // Ends the program through its tray menu's Exit; kills it if it hangs.
  async stop(timeoutms = 15000) {
    if (!this.proc || this.proc.exitCode !== null || this.proc.signalCode !== null) return this.exited;
    await this.command('105');
    const result = await Promise.race([this.exited, sleep(timeoutms).then(() => null)]);
    if (result) return result;
    this.proc.kill('SIGKILL');
    return this.exited;
  }

  kill() {
    if (this.proc && this.proc.exitCode === null) this.proc.kill('SIGKILL');
  }

  // Waits until the program shows a menu (its items then exist and take the
  // keys typed); resolves with the menu's X11 id.
  menu(timeoutms = 15000) {
    return until(() => menuid(this.proc.pid), 'the menu', timeoutms);
  }

  // Waits until no menu of the program is shown.
  menuclosed(timeoutms = 15000) {
    return until(() => !menuid(this.proc.pid), 'the menu to close', timeoutms);
  }

  // Right-clicks at a screen point [x, y] and, once the program's menu is up,
  // types the keys; returns when the menu has closed. A page that has only
  // just been painted drops a click: without a menu a few seconds later it
  // clicks again (a late menu opens with its corner under the pointer, where
  // a further right-click does nothing).
  async choose(point, ...keys) {
    xdotool('mousemove', ...point.map(String));
    let menu = null;
    for (let tries = 0; !menu && tries < 5; tries++) {
      xdotool('click', '3');
      menu = await this.menu(3000).catch(() => null);
    }
    if (!menu) throw new Error('no menu after five right-clicks');
    xdotool('key', '--delay', '150', ...keys);
    await this.menuclosed();
  }
}

function xdotool(...args) {
  return execFileSync('xdotool', args, { encoding: 'utf8', timeout: 10000 }).trim();
}

// Activates a window through the window manager. Right after windows come
// and go, icewm may briefly refuse the request (xdotool then reports that it
// does not support _NET_ACTIVE_WINDOW): ask again until it takes it.
function activate(id) {
  return until(() => {
    try {
      xdotool('windowactivate', '--sync', id);
      return true;
    } catch {
      return false;
    }
  }, 'window ' + id + ' to be activated', 10000, 200);
}

// The X11 id of the program's main window (by its title), or null.
function mainwindowid(title = 'orvalink Desktop for Windows') {
  try {
    const ids = xdotool('search', '--name', '^' + title + '$').split('\n').filter(Boolean);
    return ids.length ? ids[ids.length - 1] : null;
  } catch {
    return null;
  }
}

// {x, y, width, height} of a window as X11 reports it.
function geometry(id) {
  const out = xdotool('getwindowgeometry', '--shell', id);
  const v = Object.fromEntries(out.split('\n').map((l) => l.split('=')));
  return { x: Number(v.X), y: Number(v.Y), width: Number(v.WIDTH), height: Number(v.HEIGHT) };
}

function xwininfo(id, ...options) {
  try {
    return execFileSync('xwininfo', ['-id', id, ...options], { encoding: 'utf8', timeout: 10000 });
  } catch {
    return '';
  }
}

function isviewable(id) {
  return xwininfo(id).includes('Map State: IsViewable');
}

// The X11 id of the menu the process `pid` shows, or null: a popup menu is a
// mapped top-level window the window manager does not manage
// (override-redirect), and not a tooltip. (The tray icon is override-redirect
// too, but lives inside the tray.)
function menuid(pid) {
  let ids;
  try {
    ids = xdotool('search', '--onlyvisible', '--pid', String(pid)).split('\n').filter(Boolean);
  } catch {
    return null;
  }
  return ids.find((id) => {
    const info = xwininfo(id, '-stats', '-tree');
    return /Parent window id: 0x[0-9a-f]+ \(the root window\)/.test(info) &&
      info.includes('Override Redirect State: yes') && !/_TOOLTIP/.test(windowtype(id));
  }) || null;
}

function windowtype(id) {
  try {
    return execFileSync('xprop', ['-id', id, '_NET_WM_WINDOW_TYPE'], { encoding: 'utf8', timeout: 10000 });
  } catch {
    return '';
  }
}

// The X11 id of the program's tray icon (a small window inside the tray).
function trayiconid() {
  try {
    const ids = xdotool('search', '--classname', 'orvalink-desktop').split('\n').filter(Boolean);
    return ids.find((id) => { const g = geometry(id); return g.width <= 64 && g.height <= 64 && g.y > 0; }) || null;
  } catch {
    return null;
  }
}

// The _NET_WM_STATE atoms of a window.
function wmstate(id) {
  try {
    return execFileSync('xprop', ['-id', id, '_NET_WM_STATE'], { encoding: 'utf8', timeout: 10000 });
  } catch {
    return '';
  }
}

function clipboard() {
  try {
    return execFileSync('xclip', ['-selection', 'clipboard', '-o'], { encoding: 'utf8', timeout: 5000 });
  } catch {
    return '';
  }
}

function setclipboard(text) {
  // xclip stays in the background to serve the selection.
  const p = spawn('xclip', ['-selection', 'clipboard', '-i'], { stdio: ['pipe', 'ignore', 'ignore'], detached: true });
  p.stdin.end(text);
  p.unref();
  return sleep(200);
}

// A folder holding an xdg-open that appends each URL it gets to "opened".
function systembrowser() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-e2e-browser-'));
  const opened = path.join(dir, 'opened');
  fs.writeFileSync(path.join(dir, 'xdg-open'), `#!/bin/sh\nprintf '%s\\n' "$@" >> '${opened}'\n`, { mode: 0o755 });
  const urls = () => { try { return fs.readFileSync(opened, 'utf8').split('\n').slice(0, -1); } catch { return []; } };
  return { dir, urls };
}

module.exports = { fakeservice, app, awaitline, sleep, until, xdotool, mainwindowid, geometry, isviewable, clipboard, trayiconid,
  wmstate, menuid, activate,
  setclipboard, systembrowser, root, exe };
