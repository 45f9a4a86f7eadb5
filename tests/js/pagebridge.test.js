// The page bridge's core: what each win* function answers and sends, the
// page state it keeps, and how native messages reach the page's callbacks.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { createbridge } = require('../../browser/pagebridge.js');
const { fakenative } = require('./fakenative.js');

function connectedbridge(win = {}) {
  const bridge = createbridge(win);
  const native = fakenative();
  bridge.connect(native);
  const call = (name, ...args) => bridge.execute(name, args);
  return { bridge, native, call, win };
}

// Records calls of a callback together with their `this`.
function recorder() {
  const calls = [];
  const fn = function (...args) {
    calls.push({ self: this, args });
  };
  fn.calls = calls;
  return fn;
}

test('functions with a fixed argument count refuse other counts and send nothing', () => {
  const cb = () => {};
  const cases = [
    ['winPos', [100, 900, 50, 700], ['winPos', 100, 900, 50, 700]],
    ['winNotification', ['Title', 'Text'], ['winNotification', 'Title', 'Text']],
    ['winLoadQXP', ['http://x/p.qxp', cb], ['loadQXP', 'http://x/p.qxp', '0']],
    ['winMakeQXPCall', [7, 'fn', 'data', cb], ['makeQXPCall', 7, 'fn', 'data', '0']],
    ['winAuth', ['http://x/signin', cb], ['winAuth', 'http://x/signin']],
    ['winOnPos', [cb], null],
    ['winOnActivate', [cb], null],
  ];
  for (const [name, args, wire] of cases) {
    const { native, call } = connectedbridge();
    assert.equal(call(name, ...args.slice(0, -1)), false, `${name} with one argument too few`);
    assert.equal(call(name, ...args, 1), false, `${name} with one argument too many`);
    assert.deepEqual(native.sent, [], `${name} sent on a refused call`);
    assert.equal(call(name, ...args), true, name);
    assert.deepEqual(native.sent, wire ? [wire] : [], name);
  }
});

test('arguments are read as numbers cut to 32-bit ints, true only for true, strings only', () => {
  const { native, call } = connectedbridge();
  call('winPos', '5', 1.9, -2.7, 2 ** 32 + 3);
  call('winShow', 1);
  call('winShow', true);
  call('winAlwaysOnTop', 'yes');
  call('winNotification', 5, null);
  call('winMakeQXPCall', '3', {}, ['a'], () => {});
  assert.deepEqual(native.sent, [
    ['winPos', 0, 1, -2, 3],
    ['winShow', false],
    ['winShow', true],
    ['winAlwaysOnTop', false],
    ['winNotification', '', ''],
    ['makeQXPCall', 0, '', '', '0'],
  ]);
});

test('functions without a count check read missing arguments as defaults', () => {
  const { native, call } = connectedbridge();
  const unchecked = [
    'winAlwaysOnTop', 'winRemoveMenuGroup', 'winRunUpdate', 'winCopy', 'winOnEvent', 'winShow',
  ];
  for (const name of unchecked) assert.equal(call(name), true, name);
  assert.equal(call('winClearCookies', 'ignored'), true);
  assert.equal(call('winToggle', 1, 2), true);
  assert.deepEqual(native.sent, [
    ['winAlwaysOnTop', false],
    ['winRemoveMenuGroup', ''],
    ['winRunUpdate', ''],
    ['winCopy', ''],
    ['winOnEvent', ''],
    ['winShow', false],
    ['winClearCookies'],
    ['winToggle'],
  ]);
});

test('winHide answers undefined, winIs64bit true, neither sends; unknown names are not handled', () => {
  const { native, call } = connectedbridge();
  assert.equal(call('winHide'), undefined);
  assert.equal(call('winHide', true), undefined);
  assert.equal(call('winIs64bit'), true);
  assert.equal(call('winFly', 1), undefined);
  assert.equal(call('__proto__'), undefined);
  assert.deepEqual(native.sent, []);
});

test('winCopy sends the text up to its first NUL character', () => {
  const { native, call } = connectedbridge();
  call('winCopy', 'ab\u0000cd\u0000e');
  call('winCopy', 'caf\u00e9 \u{1F600}');
  call('winCopy', 42);
  assert.deepEqual(native.sent, [['winCopy', 'ab'], ['winCopy', 'caf\u00e9 \u{1F600}'], ['winCopy', '']]);
});

test('request ids count from 0 across loads and calls; each answer reaches its own callback once', () => {
  const { native, call } = connectedbridge();
  const load1 = recorder();
  const load2 = recorder();
  const made = recorder();
  assert.equal(call('winLoadQXP', 'u'), false); // refused: takes no id
  call('winLoadQXP', 'http://x/a.qxp', load1);
  call('winLoadQXP', 'http://x/a.qxp', load2);
  call('winMakeQXPCall', 4, 'dial', '{"n":1}', made);
  assert.deepEqual(
    native.sent.map((w) => w[w.length - 1]),
    ['0', '1', '2'],
  );

  native.deliver('qxpLoaded', '1', 4);
  native.deliver('qxpCallCompleted', '2', 'ok');
  native.deliver('qxpLoaded', '0', 4);
  // Already answered, never asked, or of the wrong form: ignored.
  native.deliver('qxpLoaded', '1', 9);
  native.deliver('qxpCallCompleted', '2', 'again');
  native.deliver('qxpLoaded', '77', 1);
  native.deliver('qxpLoaded', 0, 1);
  native.deliver('qxpLoaded');

  assert.deepEqual(load1.calls, [{ self: undefined, args: [4] }]);
  assert.deepEqual(load2.calls, [{ self: undefined, args: [4] }]);
  assert.deepEqual(made.calls, [{ self: undefined, args: ['ok'] }]);
});

test('load answers carry a number, call answers text, whatever the wire holds', () => {
  const { native, call } = connectedbridge();
  const load = recorder();
  const made = recorder();
  call('winLoadQXP', 'u', load);
  call('winMakeQXPCall', 1, 'f', '', made);
  native.deliver('qxpLoaded', '0', 'seven');
  native.deliver('qxpCallCompleted', '1');
  assert.deepEqual(load.calls[0].args, [0]);
  assert.deepEqual(made.calls[0].args, ['']);
});

test('menu items: a new label needs a function; stored functions survive group removal', () => {
  const { native, call } = connectedbridge();
  const first = recorder();
  const second = recorder();

  assert.equal(call('winInsertMenu', 'Calls', 'Redial', false), false);
  assert.equal(call('winInsertMenu', 'Calls', 'Redial', false, 'not a function'), false);
  assert.equal(call('winInsertMenu', 'Calls'), false);
  assert.deepEqual(native.sent, []);
  native.deliver('onMenu', 'Calls', 'Redial');

  assert.equal(call('winInsertMenu', 'Calls', 'Redial', false, first), true);
  assert.equal(call('winInsertMenu', 'Calls', 'Redial', true), true); // check mark only
  assert.equal(call('winRemoveMenuGroup', 'Calls'), true);
  assert.equal(call('winInsertMenu', 'Calls', 'Redial', false), true); // back, same function
  assert.deepEqual(native.sent, [
    ['winInsertMenu', 'Calls', 'Redial', false],
    ['winInsertMenu', 'Calls', 'Redial', true],
    ['winRemoveMenuGroup', 'Calls'],
    ['winInsertMenu', 'Calls', 'Redial', false],
  ]);

  native.deliver('onMenu', 'Calls', 'Redial');
  assert.deepEqual(first.calls, [{ self: undefined, args: [] }]);

  // A 4th argument replaces the stored function.
  call('winInsertMenu', 'Calls', 'Redial', false, second);
  native.deliver('onMenu', 'Calls', 'Redial');
  native.deliver('onMenu', 'Calls', 'Other');
  native.deliver('onMenu', 'Other', 'Redial');
  native.deliver('onMenu', 'calls', 'Redial');
  assert.equal(first.calls.length, 1);
  assert.equal(second.calls.length, 1);
});

test('position and activation callbacks get the event values; the latest registration wins', () => {
  const { native, call } = connectedbridge();
  native.deliver('onPosChange', 1, 2, 3, 4); // nothing registered yet
  native.deliver('onActivate', 'x');
  const oldpos = recorder();
  const pos = recorder();
  const act = recorder();
  call('winOnPos', oldpos);
  call('winOnPos', pos);
  call('winOnActivate', act);
  assert.equal(pos.calls.length + act.calls.length, 0, 'called from the page call itself');

  native.deliver('onPosChange', 100, 900, 50, 700);
  native.deliver('onPosChange', 5);
  native.deliver('onActivate', '+1 555 0100');
  native.deliver('onActivate');
  assert.equal(oldpos.calls.length, 0);
  assert.deepEqual(
    pos.calls.map((c) => c.args),
    [[100, 900, 50, 700], [5, 0, 0, 0]],
  );
  assert.deepEqual(
    act.calls.map((c) => c.args),
    [['+1 555 0100'], ['']],
  );
});

test('the sign-in callback serves one completion, and may register the next one itself', () => {
  const { native, call } = connectedbridge();
  const seen = [];
  call('winAuth', 'http://x/signin', (target) => {
    seen.push(`first ${target}`);
    call('winAuth', 'http://x/again', (t) => seen.push(`second ${t}`));
  });
  native.deliver('onCompleteAuth', '/callback?code=1');
  native.deliver('onCompleteAuth', '/callback?code=2');
  native.deliver('onCompleteAuth', '/callback?code=3');
  assert.deepEqual(seen, ['first /callback?code=1', 'second /callback?code=2']);
});

test('dial passes the number to makeCall unchanged; hangup calls hangup', () => {
  const numbers = [];
  let hangups = 0;
  const win = {
    makeCall(n, ...rest) {
      numbers.push([n, rest.length]);
    },
    hangup() {
      hangups += 1;
    },
  };
  const { native } = connectedbridge(win);
  const nasty = [
    '+1 (555) 0100',
    'a"); winCopy("pwned',
    "it's \\\"quoted\\\"",
    'line1\nline2\r\u2028end',
    '</script><script>alert(1)</script>',
    '',
  ];
  for (const n of nasty) native.deliver('dial', n);
  native.deliver('dial');
  native.deliver('hangup', 'ignored');
  assert.deepEqual(numbers, [...nasty.map((n) => [n, 0]), ['', 0]]);
  assert.equal(hangups, 1);
});

test('missing page functions, non-function callbacks and throwing callbacks do not break the bridge', () => {
  const win = {
    get makeCall() {
      throw new Error('getter');
    },
  };
  const { native, call } = connectedbridge(win);
  const later = recorder();
  call('winOnPos', 'not a function');
  call('winOnActivate', () => {
    throw new Error('page bug');
  });
  call('winLoadQXP', 'u', null);
  call('winMakeQXPCall', 1, 'f', '', later);
  native.deliver('dial', '123');
  native.deliver('hangup');
  native.deliver('onPosChange', 1, 2, 3, 4);
  native.deliver('onActivate', 'x');
  native.deliver('qxpLoaded', '0', 1);
  native.deliver('noSuchMessage', 1);
  native.deliver(42);
  native.listeners[0]({ not: 'an array' });
  native.deliver('qxpCallCompleted', '1', 'still here');
  assert.deepEqual(later.calls.map((c) => c.args), [['still here']]);
});

test('messages arrive as arrays or as JSON text', () => {
  const { native, call } = connectedbridge();
  const cb = recorder();
  call('winOnActivate', cb);
  native.listeners[0]('["onActivate","from text"]');
  native.listeners[0]('not json');
  assert.deepEqual(cb.calls.map((c) => c.args), [['from text']]);
});

test('messages sent before the channel is ready are sent in order once it is', () => {
  const bridge = createbridge({});
  const call = (name, ...args) => bridge.execute(name, args);
  assert.equal(call('winPos', 1, 2, 3, 4), true);
  call('winNotification', 'a', 'b');
  call('winLoadQXP', 'u', () => {});
  const native = fakenative();
  bridge.connect(native);
  call('winToggle');
  assert.deepEqual(native.sent, [
    ['winPos', 1, 2, 3, 4],
    ['winNotification', 'a', 'b'],
    ['loadQXP', 'u', '0'],
    ['winToggle'],
  ]);
});

test('a native side that tells documents apart hears of the document before the bridge listens', () => {
  const bridge = createbridge({});
  const call = (name, ...args) => bridge.execute(name, args);
  const cb = recorder();
  call('winMakeQXPCall', 1, 'fn', 'data', cb);
  const native = fakenative();
  native.newdocument = (done) => {
    native.confirm = done;
  };
  bridge.connect(native);
  // An answer sent before the native side has taken note belongs to an
  // earlier document, whatever its id.
  native.deliver('qxpCallCompleted', '0', 'stale');
  assert.equal(native.listeners.length, 0);
  assert.deepEqual(native.sent, []);
  native.confirm();
  assert.deepEqual(native.sent, [['makeQXPCall', 1, 'fn', 'data', '0']]);
  native.deliver('qxpCallCompleted', '0', 'fresh');
  assert.deepEqual(cb.calls.map((c) => c.args), [['fresh']]);
});

test('a reloaded page knows the menu entries its earlier documents made', () => {
  // Some come with the document's script, the rest with the native side's
  // answer when the bridge connects.
  const bridge = createbridge({}, undefined, [['Calls', 'Redial']]);
  const call = (name, ...args) => bridge.execute(name, args);
  assert.equal(call('winInsertMenu', 'Calls', 'Redial', true), true);
  assert.equal(call('winInsertMenu', 'Status', 'Away', true), false);
  const native = fakenative();
  native.newdocument = (done) => done([['Calls', 'Redial'], ['Status', 'Away']]);
  bridge.connect(native);
  assert.equal(call('winInsertMenu', 'Status', 'Away', false), true);
  assert.equal(call('winInsertMenu', 'Status', 'Busy', false), false);
  native.deliver('onMenu', 'Status', 'Away'); // no function of this document yet

  const redial = recorder();
  call('winInsertMenu', 'Calls', 'Redial', false, redial);
  native.deliver('onMenu', 'Calls', 'Redial');
  assert.equal(redial.calls.length, 1);
  assert.deepEqual(native.sent, [
    ['winInsertMenu', 'Calls', 'Redial', true],
    ['winInsertMenu', 'Status', 'Away', false],
    ['winInsertMenu', 'Calls', 'Redial', false],
  ]);
});
