// Which frames get the win* functions, how child frames share the top frame's
// bridge, and the injected script itself run in a browser-like global.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');
const { fakenative } = require('./fakenative.js');
const { start } = require('../../browser/pagebridge.js');

// The order in which the page sees the functions installed.
const names = [
  'winPos', 'winOnPos', 'winNotification', 'winLoadQXP', 'winMakeQXPCall', 'winInsertMenu',
  'winRemoveMenuGroup', 'winAlwaysOnTop', 'winOnActivate', 'winRunUpdate', 'winClearCookies', 'winCopy',
  'winOnEvent', 'winShow', 'winHide', 'winToggle', 'winAuth', 'winIs64bit',
];

const origin = 'http://127.0.0.1:8765';
const config = { origin };

// A QWebChannel stand-in: records each channel opened; ready() completes the
// last one with the given native object.
function fakechannel(native) {
  const ctor = function (transport, onready) {
    ctor.opened.push(transport);
    ctor.ready = () => onready({ objects: { orvabridge: native } });
  };
  ctor.opened = [];
  return ctor;
}

function fakewindow(frameorigin, { top, transport = true } = {}) {
  const win = { location: { origin: frameorigin } };
  if (transport) win.qt = { webChannelTransport: { send() {} } };
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

test('the service top frame gets the 18 functions in order over one channel', () => {
  const native = fakenative();
  const channel = fakechannel(native);
  const win = fakewindow(origin);
  start(win, config, channel);
  assert.deepEqual(winkeys(win), names);
  assert.equal(win.winPos.name, 'winPos');
  assert.deepEqual(channel.opened, [win.qt.webChannelTransport]);
  assert.ok(win.qt.webChannelTransport, 'the service keeps its transport');

  assert.equal(win.winPos(1, 2, 3, 4), true);
  channel.ready();
  assert.equal(win.winIs64bit(), true);
  win.winToggle();
  assert.deepEqual(native.sent, [['winPos', 1, 2, 3, 4], ['winToggle']]);
});

test('frames of another origin get nothing and lose any channel transport', () => {
  const others = ['http://127.0.0.1:8766', 'https://127.0.0.1:8765', 'http://localhost:8765', 'null', ''];
  for (const other of others) {
    const channel = fakechannel(fakenative());
    const win = fakewindow(other);
    start(win, config, channel);
    assert.deepEqual(winkeys(win), [], other);
    assert.equal(win.qt.webChannelTransport, undefined, other);
    assert.equal(channel.opened.length, 0, other);
  }
  for (const badconfig of [null, {}, { origin: 5 }]) {
    const win = fakewindow(origin);
    start(win, badconfig, fakechannel(fakenative()));
    assert.deepEqual(winkeys(win), []);
  }
});

test('without the channel library or transport the top frame gets nothing', () => {
  const bare = fakewindow(origin, { transport: false });
  start(bare, config, fakechannel(fakenative()));
  const notransport = fakewindow(origin);
  notransport.qt = {};
  start(notransport, config, fakechannel(fakenative()));
  const nolibrary = fakewindow(origin);
  start(nolibrary, config, null);
  for (const win of [bare, notransport, nolibrary]) assert.deepEqual(winkeys(win), []);
});

test('same-origin child frames go through the top frame bridge and share its state', () => {
  const native = fakenative();
  const channel = fakechannel(native);
  const top = fakewindow(origin);
  start(top, config, channel);
  const child = fakewindow(origin, { top });
  const grandchild = fakewindow(origin, { top });
  start(child, config, channel);
  start(grandchild, config, channel);
  assert.equal(channel.opened.length, 1, 'a child opened its own channel');
  assert.deepEqual(winkeys(child), names);
  assert.ok(!Object.keys(top).includes('__orvaBridge'), 'the hidden bridge is enumerable');

  const loaded = [];
  const chosen = [];
  assert.equal(child.winLoadQXP('http://x/a.qxp', (n) => loaded.push(['child', n])), true);
  top.winMakeQXPCall(3, 'f', '', (r) => loaded.push(['top', r]));
  grandchild.winLoadQXP('http://x/b.qxp', (n) => loaded.push(['grandchild', n]));
  child.winInsertMenu('G', 'L', false, () => chosen.push('child item'));
  top.winInsertMenu('G', 'L', true); // the child's item, check mark only
  channel.ready();
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
  start(unreachable, config, fakechannel(fakenative()));

  const foreigntop = fakewindow('http://evil.example');
  start(foreigntop, config, fakechannel(fakenative()));
  const underforeign = fakewindow(origin, { top: foreigntop });
  start(underforeign, config, fakechannel(fakenative()));

  const unbridgedtop = fakewindow(origin, { transport: false });
  start(unbridgedtop, config, fakechannel(fakenative()));
  const underunbridged = fakewindow(origin, { top: unbridgedtop });
  start(underunbridged, config, fakechannel(fakenative()));

  const servicetop = fakewindow(origin);
  start(servicetop, config, fakechannel(fakenative()));
  const foreignchild = fakewindow('http://evil.example', { top: servicetop });
  start(foreignchild, config, fakechannel(fakenative()));

  for (const win of [unreachable, underforeign, underunbridged, foreignchild]) {
    assert.deepEqual(winkeys(win), []);
  }
  assert.equal(foreignchild.qt.webChannelTransport, undefined);
});

// The script as the program injects it: the channel library (strict), then
// the bridge in a function given the configuration, as one classic script.
const source = fs.readFileSync(path.join(__dirname, '../../browser/pagebridge.js'), 'utf8');
function inject(globals, { library = 'var QWebChannel = hostchannel;\n', configtext } = {}) {
  const ctx = vm.createContext({ ...globals });
  ctx.window = ctx;
  ctx.top = ctx;
  configtext ??= JSON.stringify({ origin, menus: [['Status', 'Away']] });
  vm.runInContext(`"use strict";\n${library}\n(function (__orvaBridgeConfig) {\n${source}\n})(${configtext});\n`, ctx);
  return ctx;
}

test('the injected script installs the functions as globals and dial reaches the page unchanged', () => {
  const native = fakenative();
  const hostchannel = fakechannel(native);
  const ctx = inject({ location: { origin }, qt: { webChannelTransport: {} }, hostchannel });
  assert.deepEqual(winkeys(ctx), names);
  assert.deepEqual(
    Object.keys(ctx).filter((k) => !names.includes(k)),
    ['location', 'qt', 'hostchannel', 'window', 'top', 'QWebChannel'],
    'the bridge leaked globals',
  );

  vm.runInContext(
    // makeCall as a top-level binding that is not a window property.
    'var dialed = []; var hung = 0;' +
      'let makeCall = (n) => dialed.push(n); function hangup() { hung += 1; }' +
      'var answer = winLoadQXP("http://x/p.qxp", function (n) { dialed.push("plugin " + n); });' +
      // An entry an earlier document made, known from the configuration.
      'var checked = winInsertMenu("Status", "Away", true);',
    ctx,
  );
  assert.equal(ctx.answer, true);
  assert.equal(ctx.checked, true);
  hostchannel.ready();
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

test('the injected script never throws where it has nothing to do', () => {
  const cases = [
    [{ location: { origin } }, {}], // no qt object
    [{ location: { origin }, qt: {} }, {}],
    [{ location: { origin }, qt: { webChannelTransport: {} } }, { library: '' }], // no channel library
    [{ location: { origin: 'http://other.example' } }, {}],
    [{ location: { origin } }, { configtext: '' }], // no configuration
    [{}, {}], // no location
  ];
  for (const [globals, opts] of cases) {
    const ctx = inject({ ...globals, hostchannel: fakechannel(fakenative()) }, opts);
    assert.deepEqual(winkeys(ctx), []);
  }
  // Not a window at all (a worker-like global).
  const ctx = vm.createContext({});
  vm.runInContext(`"use strict";\n${source}`, ctx);
  assert.deepEqual(winkeys(ctx), []);
});
