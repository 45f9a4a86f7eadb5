// The browser engine's sandbox: started by an ordinary user, the program's
// renderer runs under a seccomp filter in user and PID namespaces of its own,
// and the page still loads and reaches the program.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { fakeservice, app, until } = require('./lib/harness');

const nobody = 65534;

// The processes started (directly or not) by `root`, with their seccomp mode,
// namespaces and command line.
function descendants(root) {
  const parent = new Map();
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const stat = fs.readFileSync('/proc/' + pid + '/stat', 'utf8');
      parent.set(Number(pid), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch { /* gone meanwhile */ }
  }
  const from = (pid) => { for (let p = pid; p > 1; p = parent.get(p)) if (p === root) return true; return false; };
  const out = [];
  for (const pid of parent.keys()) {
    if (pid === root || !from(pid)) continue;
    try {
      const status = fs.readFileSync('/proc/' + pid + '/status', 'utf8');
      out.push({ pid, seccomp: Number(/^Seccomp:\s*(\d+)/m.exec(status)?.[1]), ...namespaces(pid),
        args: fs.readFileSync('/proc/' + pid + '/cmdline', 'utf8').replace(/\0/g, ' ') });
    } catch { /* gone meanwhile */ }
  }
  return out;
}

function namespaces(pid) {
  return { userns: fs.readlinkSync('/proc/' + pid + '/ns/user'), pidns: fs.readlinkSync('/proc/' + pid + '/ns/pid') };
}

test('started by an ordinary user, the renderer is sandboxed and the page works', async (t) => {
  try {
    execFileSync('setpriv', ['--reuid=' + nobody, '--regid=' + nobody, '--clear-groups', 'true'], { stdio: 'ignore' });
  } catch {
    return t.skip('cannot run a program as another user here');
  }
  // The user's own home, runtime directory and right to use the display.
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-e2e-user-'));
  fs.mkdirSync(path.join(home, 'run'), { mode: 0o700 });
  fs.copyFileSync(process.env.XAUTHORITY, path.join(home, 'xauthority'));
  for (const f of ['', 'run', 'xauthority']) fs.chownSync(path.join(home, f), nobody, nobody);
  const service = await new fakeservice().start();
  const run = service.scripted();
  const program = new app({ origin: service.origin, uid: nobody, gid: nobody,
    env: { HOME: home, XDG_RUNTIME_DIR: path.join(home, 'run'), XAUTHORITY: path.join(home, 'xauthority') } });
  fs.chownSync(program.data, nobody, nobody);
  program.start();
  t.after(async () => {
    program.kill();
    await program.exited;
    await service.stop();
    fs.rmSync(home, { recursive: true, force: true });
  });

  await program.line(/^browser sandbox: on$/);
  await service.report((x) => x.ready === 1);
  run(`winNotification('sandboxed', 'renderer')`);
  await program.line(/^balloon: sandboxed \| renderer$/);

  const own = namespaces(program.proc.pid);
  const sandboxed = await until(() => {
    const found = descendants(program.proc.pid).filter((p) => p.seccomp === 2);
    return found.length && found;
  }, 'a renderer under a seccomp filter');
  for (const p of sandboxed) {
    assert.notEqual(p.userns, own.userns, 'renderer ' + p.pid + ' shares the program\'s user namespace');
    assert.notEqual(p.pidns, own.pidns, 'renderer ' + p.pid + ' shares the program\'s PID namespace');
  }
  const bare = descendants(program.proc.pid).filter((p) => p.args.includes(' --type=renderer ') && p.seccomp !== 2);
  assert.deepEqual(bare, [], 'renderers without the sandbox');
  assert.equal((await program.stop()).code, 0);
});
