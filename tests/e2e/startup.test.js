// The program starts against the service, places its window, loads the start
// page with its own user agent, and ends through the shutdown sequence.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { fakeservice, app, until, mainwindowid, geometry } = require('./lib/harness');

test('start-up, start page, window placement and shutdown order', async (t) => {
  const service = await new fakeservice().start();
  service.page(`<title>console</title><script>report({ loaded: location.href, ua: navigator.userAgent,
    bridge: typeof winPos });</script>`);
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });

  const loaded = await service.report((r) => r.loaded);
  await t.test('the start page is the origin plus /a/desktop/ with nothing appended', () => {
    assert.equal(loaded.loaded, service.origin + '/a/desktop/');
    const first = service.requests.find((r) => r.path === '/a/desktop/');
    assert.equal(first.url, '/a/desktop/');
  });
  await t.test('the whole User-Agent header is the program\'s own', () => {
    const first = service.requests.find((r) => r.path === '/a/desktop/');
    assert.equal(first.headers['user-agent'], 'vaVederorIduroru/1.1.8');
    assert.equal(loaded.ua, 'vaVederorIduroru/1.1.8');
  });
  await t.test('the page of the service gets the native functions', () => {
    assert.equal(loaded.bridge, 'function');
  });
  await t.test('the window sits at the bottom-right corner of a 1920x1080 screen', async () => {
    const id = await until(() => mainwindowid(), 'the main window');
    const g = await until(() => { const g = geometry(id); return g.width === 800 ? g : null; }, 'its size');
    assert.deepEqual(g, { x: 1120, y: 430, width: 800, height: 650 });
  });
  await t.test('the engine runs with the eight switches', async () => {
    const text = program.lines.join('\n');
    for (const s of ['enable-media-stream', 'use-fake-ui-for-media-stream', 'force-webrtc-ip-handling-policy default',
      'autoplay-policy no-user-gesture-required', 'disable-background-timer-throttling',
      'disable-renderer-backgrounding', 'disable-backgrounding-occluded-windows']) {
      assert.match(text, new RegExp('\\*  ' + s + ' '), s);
    }
    assert.match(text, /disable-features \S*MediaStreamDeviceEnumerationPermission,CalculateNativeWinOcclusion,WebRtcHideLocalIpsWithMdns/);
  });
  await t.test('Exit ends the program with the shutdown steps in order', async () => {
    const { code } = await program.stop();
    assert.equal(code, 0);
    const steps = program.lines.filter((l) => l.startsWith('shutdown: '));
    assert.deepEqual(steps, ['shutdown: stopping plugins', 'shutdown: stopping the sign-in listener',
      'shutdown: pause', 'shutdown: browser engine', 'shutdown: tray icon removed', 'shutdown: scripts closed',
      'shutdown: application state released']);
  });
  await t.test('browser data lives in the data directory', () => {
    assert.ok(fs.existsSync(program.data + '/all/orvalink Desktop for Windows/Storage'));
  });
});
