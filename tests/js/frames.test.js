// Which frames get the win* functions, how child frames share the top frame's
// bridge, how the bridge reaches the native side through the relay, and the
// injected script itself run in a browser-like global.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');
const { start } = require('../../browser/pagebridge.js');
const relay = require('../../browser/pagerelay.js');
const { numberednative, fakechannel } = require('./fakenative.js');

// The order in which the page sees the functions installed.
const names = [
  'winPos', 'winOnPos', 'winNotification', 'winLoadQXP', 'winMakeQXPCall', 'winInsertMenu',
  'winRemoveMenuGroup', 'winAlwaysOnTop', 'winOnActivate', 'winRunUpdate', 'winClearCookies', 'winCopy',
  'winOnEvent', 'winShow', 'winHide', 'winToggle', 'winAuth', 'winIs64bit',
];

const origin = 'http://127.0.0.1:8765';
const config = { origin };

// A window: events reach listeners of the page's scripts and of the relay
// alike, as they do across script worlds.
function fakewindow(frameorigin, { top } = {}) {
  const win = new EventTarget();
  win.location = { origin: frameorigin };
  win.top = top || win;
  return win;
}

// A top window of another origin: every property read throws, as in a browser.
function crossorigintop() {
  return new Proxy(
    {},
    {
      get() {
        throw new Error('SecurityError: blocked a frame from accessing a cross-origin frame');
      },
    },
  );
}

const winkeys = (win) => Object.keys(win).filter((k) => /^win[A-Z]/.test(k));

// The relay in a top window, over the engine's channel to `native`; the
// channel is ready and the document numbered.
function withrelay(win, native = numberednative()) {
  win.qt = { webChannelTransport: {} };
  const channel = fakechannel(native);
  relay.start(win, config, channel);
  if (channel.ready) {
    channel.ready();
    native.confirm();
  }
  return native;
}

test('the service top frame gets the 18 functions in order and reaches the native side through the relay', () => {
  const win = fakewindow(origin);
  start(win, config);
  assert.deepEqual(winkeys(win), names);
  assert.equal(win.winPos.name, 'winPos');

  assert.equal(win.winPos(1, 2, 3, 4), true);
  const native = withrelay(win, numberednative(7));
  assert.equal(win.winIs64bit(), true);
  win.winToggle();
  assert.deepEqual(native.sent, [['winPos', 1, 2, 3, 4], ['winToggle']]);
  assert.deepEqual(native.documents, [7, 7]);
  const pos = [];
  win.winOnPos((...r) => pos.push(r));
  native.deliver('onPosChange', 1, 2, 3, 4);
  assert.deepEqual(pos, [[1, 2, 3, 4]]);
});

test('frames of another origin get nothing, and the relay connects only in the service top frame', () => {
  const others = ['http://127.0.0.1:8766', 'https://127.0.0.1:8765', 'http://localhost:8765', 'null', ''];
  for (const other of others) {
    const win = fakewindow(other);
    start(win, config);
    assert.deepEqual(winkeys(win), [], other);
    assert.equal(withrelay(win).listeners.length, 0, other);
  }
  for (const badconfig of [null, {}, { origin: 5 }]) {
    const win = fakewindow(origin);
    start(win, badconfig);
    assert.deepEqual(winkeys(win), []);
  }
  const top = fakewindow(origin);
  assert.equal(withrelay(fakewindow(origin, { top })).listeners.length, 0, 'a child frame');
  const notransport = fakewindow(origin);
  const channel = fakechannel(numberednative());
  relay.start(notransport, config, channel);
  assert.equal(channel.opened.length, 0);
});

test('same-origin child frames go through the top frame bridge and share its state', () => {
  const top = fakewindow(origin);
  start(top, config);
  const child = fakewindow(origin, { top });
  const grandchild = fakewindow(origin, { top });
  start(child, config);
  start(grandchild, config);
  assert.deepEqual(winkeys(child), names);
  assert.ok(!Object.keys(top).includes('__orvaBridge'), 'the hidden bridge is enumerable');

  const loaded = [];
  const chosen = [];
  assert.equal(child.winLoadQXP('http://x/a.qxp', (n) => loaded.push(['child', n])), true);
  top.winMakeQXPCall(3, 'f', '', (r) => loaded.push(['top', r]));
  grandchild.winLoadQXP('http://x/b.qxp', (n) => loaded.push(['grandchild', n]));
  child.winInsertMenu('G', 'L', false, () => chosen.push('child item'));
  top.winInsertMenu('G', 'L', true); // the child's item, check mark only
  const native = withrelay(top);
  assert.deepEqual(native.sent, [
    ['loadQXP', 'http://x/a.qxp', '0'],
    ['makeQXPCall', 3, 'f', '', '1'],
    ['loadQXP', 'http://x/b.qxp', '2'],
    ['winInsertMenu', 'G', 'L', false],
    ['winInsertMenu', 'G', 'L', true],
  ]);

  const pos = [];
  top.winOnPos(() => pos.push('top'));
  child.winOnPos(() => pos.push('child')); // one per top document: replaces
  native.deliver('qxpLoaded', '2', 5);
  native.deliver('qxpLoaded', '0', 4);
  native.deliver('qxpCallCompleted', '1', 'r');
  native.deliver('onMenu', 'G', 'L');
  native.deliver('onPosChange', 0, 0, 0, 0);
  assert.deepEqual(loaded, [['grandchild', 5], ['child', 4], ['top', 'r']]);
  assert.deepEqual(chosen, ['child item']);
  assert.deepEqual(pos, ['child']);
});

test('a child frame that cannot reach a bridged top of its origin gets nothing', () => {
  const unreachable = fakewindow(origin, { top: crossorigintop() });
  start(unreachable, config);

  const foreigntop = fakewindow('http://evil.example');
  start(foreigntop, config);
  const underforeign = fakewindow(origin, { top: foreigntop });
  start(underforeign, config);

  const servicetop = fakewindow(origin);
  start(servicetop, config);
  const foreignchild = fakewindow('http://evil.example', { top: servicetop });
  start(foreignchild, config);

  for (const win of [unreachable, underforeign, foreignchild]) assert.deepEqual(winkeys(win), []);
});

test('the relay passes messages on only for the document the native side numbered', () => {
  const win = fakewindow(origin);
  const native = numberednative(3);
  win.qt = { webChannelTransport: {} };
  const channel = fakechannel(native);
  relay.start(win, config, channel);
  channel.ready();
  assert.equal(win.__orvaRelayDocument, -1);
  // The bridge starts after the relay: it says hello, and hears once the
  // native side has numbered the document.
  start(win, config);
  const heard = [];
  win.winOnActivate((text) => heard.push(text));
  win.winNotification('t', 'x');
  native.deliver('onActivate', 'meant for an earlier document');
  assert.deepEqual([heard, native.sent], [[], []]);
  native.confirm();
  native.deliver('onActivate', 'now');
  assert.deepEqual(heard, ['now']);
  assert.deepEqual([native.sent, native.documents, win.__orvaRelayDocument], [[['winNotification', 't', 'x']], [3], 3]);
});

test('messages in the native reply to a post reach the page, in order', () => {
  const win = fakewindow(origin);
  start(win, config);
  const native = withrelay(win);
  native.post = (wire, doc, done) => done([['onActivate', 'first'], ['onActivate', 'second']]);
  const heard = [];
  win.winOnActivate((text) => heard.push(text));
  win.winToggle();
  assert.deepEqual(heard, ['first', 'second']);
});

test('the relay tells the native side of a link only for a click the user made', () => {
  const win = fakewindow(origin);
  let onclick;
  const add = win.addEventListener.bind(win);
  win.addEventListener = (type, fn, capture) => (type === 'click' ? (onclick = fn) : add(type, fn, capture));
  const native = withrelay(win, numberednative(2));
  const at = (...nodes) => ({ composedPath: () => nodes, isTrusted: true });
  onclick(at({ localName: 'span' }, { localName: 'a', href: 'sip:1' }, win));
  onclick({ ...at({ localName: 'a', href: 'sip:2' }), isTrusted: false });
  onclick(at({ localName: 'div' }, win));
  assert.deepEqual(native.links, [['sip:1', 2], ['', 2]]);
});

// The page bridge as the program injects it: in a function given the
// configuration, as one classic script.
const source = fs.readFileSync(path.join(__dirname, '../../browser/pagebridge.js'), 'utf8');
function inject(globals, { configtext } = {}) {
  const ctx = vm.createContext(Object.assign(new EventTarget(), { EventTarget, CustomEvent }, globals));
  ctx.window = ctx;
  ctx.top = ctx;
  configtext ??= JSON.stringify({ origin, menus: [['Status', 'Away']] });
  vm.runInContext(`"use strict";\n(function (__orvaBridgeConfig) {\n${source}\n})(${configtext});\n`, ctx);
  return ctx;
}

test('the injected script installs the functions as globals and dial reaches the page unchanged', () => {
  const ctx = inject({ location: { origin } });
  assert.deepEqual(winkeys(ctx), names);
  assert.deepEqual(
    Object.keys(ctx).filter((k) => !names.includes(k)),
    ['EventTarget', 'CustomEvent', 'location', 'window', 'top'],
    'the bridge leaked globals',
  );

  vm.runInContext(
    // makeCall as a top-level binding that is not a window property.
    'var dialed = []; var hung = 0;' +
      'let makeCall = (n) => dialed.push(n); function hangup() { hung += 1; }' +
      'var answer = winLoadQXP("http://x/p.qxp", function (n) { dialed.push("plugin " + n); });' +
      // An entry an earlier document made, known from the configuration.
      'var checked = winInsertMenu("Status", "Away", true);' +
      // The page replaces what the bridge uses.
      'JSON = null; CustomEvent = null;',
    ctx,
  );
  assert.equal(ctx.answer, true);
  assert.equal(ctx.checked, true);
  const native = withrelay(ctx);
  const tricky = ['"); hangup(); ("', "\\'\\\\", 'a\nb\u2028c', '</script><b>x</b>'];
  for (const n of tricky) native.deliver('dial', n);
  native.deliver('hangup');
  native.deliver('qxpLoaded', '0', 12);
  // Arrays of the page's realm: compare them as the channel carries them, as JSON.
  assert.equal(
    JSON.stringify(native.sent),
    JSON.stringify([['loadQXP', 'http://x/p.qxp', '0'], ['winInsertMenu', 'Status', 'Away', true]]),
  );
  assert.deepEqual([...ctx.dialed], [...tricky, 'plugin 12']);
  assert.equal(ctx.hung, 1);
});

test('dial and hangup wait until the document has loaded', () => {
  const win = fakewindow(origin);
  win.document = { readyState: 'interactive' };
  start(win, config);
  const native = withrelay(win);
  const calls = [];
  win.makeCall = (n) => calls.push(n);
  win.hangup = () => calls.push('hangup');
  native.deliver('dial', '1');
  native.deliver('hangup');
  assert.deepEqual(calls, []);
  win.document.readyState = 'complete';
  win.dispatchEvent(new Event('load'));
  native.deliver('dial', '2');
  assert.deepEqual(calls, ['1', 'hangup', '2']);
});

test('the injected script never throws where it has nothing to do', () => {
  const cases = [
    [{ location: { origin: 'http://other.example' } }, {}],
    [{ location: { origin } }, { configtext: '' }], // no configuration
    [{}, {}], // no location
  ];
  for (const [globals, opts] of cases) {
    const ctx = inject(globals, opts);
    assert.deepEqual(winkeys(ctx), []);
  }
  // Not a window at all (a worker-like global).
  const ctx = vm.createContext({});
  vm.runInContext(`"use strict";\n${source}`, ctx);
  assert.deepEqual(winkeys(ctx), []);
});
