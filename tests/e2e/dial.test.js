// The user's Lua scripts beside the program: settings.lua names the window,
// automation.lua reacts to the page's events and asks the page to dial or
// hang up. The program is copied into a folder of its own with those files.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { fakeservice, app, sleep, until, xdotool, exe } = require('./lib/harness');

const title = 'Téléphone ☎ – orvalink';

const settings = `title = '${title}'\n`;

// Each event is a table: "fail" raises an error, "dial" dials its text,
// "hangup" hangs up, "show" tells in an alert balloon what arrived.
const automation = `
qx.onevent(function(e)
  if type(e) ~= 'table' then
    qx.alert('event', 'a ' .. type(e))
    return
  end
  if e.fail then error('boom') end
  if e.dial ~= nil then qx.dial(e.dial) end
  if e.hangup then qx.hangup() end
  if e.show then
    qx.alert('event', table.concat({ e.show, tostring(e.n == 3), type(e.nested),
      tostring(e.nested and e.nested.list and e.nested.list[2] == 20), tostring(e.missing) }, '|'))
  end
end)
return true
`;

function programfolder() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-e2e-bin-'));
  for (const name of ['orvalink-desktop', 'modrelay']) {
    const from = path.join(path.dirname(exe), name);
    fs.copyFileSync(from, path.join(dir, name));
    fs.chmodSync(path.join(dir, name), 0o755);
  }
  fs.writeFileSync(path.join(dir, 'settings.lua'), settings);
  fs.writeFileSync(path.join(dir, 'automation.lua'), automation);
  return dir;
}

test('scripts beside the program: title, page events, dial and hangup', async (t) => {
  const bin = programfolder();
  const service = await new fakeservice().start();
  const run = service.scripted(`<script>
    function makeCall(number) { report({ makeCall: number, count: arguments.length }); }
    function hangup() { report({ hangup: arguments.length }); }
  </script>`);
  const program = new app({ origin: service.origin, exe: path.join(bin, 'orvalink-desktop') }).start();
  t.after(async () => {
    program.kill();
    await service.stop();
    fs.rmSync(bin, { recursive: true, force: true });
  });
  await service.report((x) => x.ready === 1);
  const event = (value) => run(`winOnEvent(${JSON.stringify(JSON.stringify(value))})`);

  await t.test('settings.lua titles the window, non-ASCII included', async () => {
    const named = await until(() => {
      const ids = xdotool('search', '--pid', String(program.proc.pid)).split('\n').filter(Boolean);
      return ids.map((id) => { try { return xdotool('getwindowname', id); } catch { return ''; } })
        .find((n) => n === title);
    }, 'a window named ' + title);
    assert.equal(named, title);
  });

  await t.test('qx.dial hands the page its number unchanged, cut to 20 bytes', async () => {
    const cases = [
      ['a"b\\c\'d\ne</script>', 'a"b\\c\'d\ne</script>'],
      ['");report(1);("', '");report(1);("'],
      ['x\u2028y\\u0041', 'x\u2028y\\u0041'],
      ['0123456789012345678901234', '01234567890123456789'],
      // A character that would not fit whole is left out.
      ['a€€€€€€€', 'a€€€€€€'],
      ['', ''],
    ];
    for (const [number] of cases) event({ dial: number });
    await until(() => service.reports.filter((x) => 'makeCall' in x).length === cases.length, 'every makeCall');
    assert.deepEqual(service.reports.filter((x) => 'makeCall' in x),
      cases.map(([, want]) => ({ makeCall: want, count: 1 })));
    await sleep(500);
    assert.ok(!service.reports.includes(1), 'a number ran as script');
  });

  await t.test('qx.hangup calls the page\'s hangup', async () => {
    event({ hangup: true });
    assert.equal((await service.report((x) => 'hangup' in x)).hangup, 0);
  });

  await t.test('a page event arrives as a Lua table', async () => {
    event({ show: 'hi "there"', n: 3, nested: { list: [10, 20] } });
    await program.line(/^balloon: event \| /);
    assert.ok(program.lines.includes('balloon: event | hi "there"|true|table|true|nil'));
    run(`winOnEvent('"just text"')`);
    await program.line(/^balloon: event \| a string$/);
  });

  await t.test('text that is not JSON is dropped with a debug line; later events still arrive', async () => {
    run(`winOnEvent('{"show": "broken"')`);
    await program.line(/^page event dropped, not valid JSON: /);
    event({ show: 'after' });
    await program.line(/^balloon: event \| after\|/);
    assert.ok(!program.lines.some((l) => l.startsWith('balloon: event | broken')));
    assert.equal(program.proc.exitCode, null);
  });

  await t.test('an event callback that fails stays registered', async () => {
    event({ fail: true });
    await program.line(/^page event callback failed: .*boom/);
    event({ show: 'after a failure' });
    await program.line(/^balloon: event \| after a failure\|/);
  });

  await t.test('the copy ends normally', async () => {
    assert.equal((await program.stop()).code, 0);
  });
});
