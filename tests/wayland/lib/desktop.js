// Helpers for the tests on a headless Wayland desktop started by
// tests/wayland/run: a native Wayland GTK window with a text field, the
// user's hands (injected key chords), the tray seen as a desktop's tray host
// sees it, and the desktop's consent dialog answered as the user would.
'use strict';

const path = require('node:path');
const { spawn, execFile } = require('node:child_process');
const { EventEmitter } = require('node:events');
const { awaitline } = require('../../e2e/lib/harness');

const kind = process.env.ORVA_WAYLAND_KIND || '';
const clients = path.join(__dirname, '..', 'clients');
const python = '/usr/bin/python3';

// A child process whose output lines can be awaited.
class watched {
  constructor(file, args, env = {}) {
    this.lines = [];
    this.events = new EventEmitter();
    this.proc = spawn(file, args, { env: { ...process.env, ...env }, stdio: ['pipe', 'pipe', 'pipe'] });
    this.exited = new Promise((r) => this.proc.on('exit', (code) => r(code)));
    let partial = '';
    const take = (chunk) => {
      const parts = (partial + chunk.toString('utf8')).split('\n');
      partial = parts.pop();
      for (const l of parts) {
        this.lines.push(l);
        this.events.emit('line', l);
      }
    };
    this.proc.stdout.on('data', take);
    this.proc.stderr.on('data', take);
  }

  // Resolves with the first line (past or future) matching `re`.
  line(re, timeoutms = 20000) {
    return awaitline(this, re, timeoutms);
  }

  kill() {
    if (this.proc.exitCode === null) this.proc.kill();
  }
}

// A native Wayland GTK window titled `title` whose field holds `text` with
// characters start..end selected; resolves once it has the focus.
async function gtkentry(t, title, text = '', start = -1, end = -1) {
  const w = new watched(python, [path.join(clients, 'gtkentry.py'), title, text, String(start), String(end)],
    { GDK_BACKEND: 'wayland' });
  t.after(() => w.kill());
  await w.line(/^active$/);
  // The field's text as it is now.
  w.text = () => {
    const last = w.lines.filter((l) => l.startsWith('text: ')).pop();
    return last === undefined ? '' : JSON.parse(last.slice(6));
  };
  return w;
}

function run(file, args, timeoutms = 30000) {
  return new Promise((resolve, reject) => {
    execFile(file, args, { encoding: 'utf8', timeout: timeoutms }, (error, stdout, stderr) => {
      if (error) reject(new Error(file + ' ' + args.join(' ') + ': ' + error.message + '\n' + stdout + stderr));
      else resolve(stdout);
    });
  });
}

// Presses a chord ("ctrl+shift+d") as the user would: through the
// RemoteDesktop portal on KDE, through GNOME's own remote-desktop interface
// there (its portal would ask for consent, which is the program's to get).
function press(chord) {
  return run(python, [path.join(clients, 'hands.py'), kind === 'kde' ? 'portal' : 'mutter', 'chord', chord]);
}

// The tray items the desktop's tray watcher knows, each with its title and
// menu labels: [{ id, title, menu: [...] }]. Options: click (a menu label to
// click), activate (click the item itself).
async function trayitems({ click = '', activate = false } = {}) {
  const args = [path.join(clients, 'snihost.py')];
  if (click) args.push('--click', click);
  if (activate) args.push('--activate');
  return JSON.parse(await run(python, args));
}

// Answers GNOME's remote-desktop consent dialog once it shows (allowing
// interaction, or refusing with `refuse`); resolves when it has been answered.
function consent({ refuse = false, timeoutms = 60000 } = {}) {
  const args = [path.join(clients, 'consent.py'), String(timeoutms / 1000)];
  if (refuse) args.push('cancel');
  return run(python, args, timeoutms + 5000);
}

// Records the calls of org.freedesktop.Notifications' Notify on the session
// bus (those to the name: GNOME's service passes each on to the shell);
// resolves once the monitor listens.
async function notifications(t) {
  const m = new watched('dbus-monitor', ['--session',
    "destination='org.freedesktop.Notifications',interface='org.freedesktop.Notifications',member='Notify'"]);
  t.after(() => m.kill());
  await m.line(/NameAcquired|member=Notify/);
  return m;
}

module.exports = { kind, watched, gtkentry, press, trayitems, consent, notifications, run };
