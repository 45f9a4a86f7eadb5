// The context menu's debug scripts run in a page-like global with a recording
// console and a stand-in RTCPeerConnection: the exact console texts, the
// marker, and what enabling, disabling and enabling again instrument.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const dir = path.join(__dirname, '../../browser/debugscripts');
const source = (name) => fs.readFileSync(path.join(dir, name + '.js'), 'utf8');

const enabledline = ['log', '%c[WebRTC Debug] Logging enabled', 'color: green; font-weight: bold'];
const disabledline = ['log', '%c[WebRTC Debug] Logging disabled - new connections will not be instrumented',
  'color: orange; font-weight: bold'];

function fakepage() {
  const lines = [];
  const timers = [];
  class peer {
    constructor(configuration, constraints) {
      this.args = [configuration, constraints];
      this.listeners = {};
      this.calls = [];
      this.connectionState = 'new';
      this.iceConnectionState = 'new';
      this.iceGatheringState = 'new';
      this.signalingState = 'stable';
      this.localDescription = null;
      this.stats = new Map();
    }
    addEventListener(type, fn) { (this.listeners[type] ||= []).push(fn); }
    fire(type, event = {}) { (this.listeners[type] || []).forEach((fn) => fn(event)); }
    setLocalDescription(...args) { this.calls.push(['local', ...args]); return 'local-result'; }
    setRemoteDescription(...args) { this.calls.push(['remote', ...args]); return 'remote-result'; }
    addIceCandidate(...args) { this.calls.push(['candidate', ...args]); return 'candidate-result'; }
    getStats() { return Promise.resolve(this.stats); }
    static generateCertificate() { return 'certificate'; }
  }
  const record = (level) => (...args) => lines.push([level, ...args]);
  const win = {
    RTCPeerConnection: peer,
    console: { log: record('log'), warn: record('warn') },
    setInterval(fn, ms) { timers.push({ fn, ms, cleared: false }); return timers.length; },
    clearInterval(id) { timers[id - 1].cleared = true; },
  };
  win.window = win;
  vm.createContext(win);
  const run = (name) => vm.runInContext(source(name), win);
  const connect = (...args) => vm.runInContext('new RTCPeerConnection(a, b)', Object.assign(win, { a: args[0], b: args[1] }));
  return { win, lines, timers, peer, run, connect };
}

// The lines of one traced connection with its "[WebRTC-xxxxxx] " tag removed.
function traced(lines, pc) {
  const tag = pc.tag;
  return lines.filter((l) => typeof l[1] === 'string' && l[1].startsWith(tag)).map((l) => [l[0], l[1].slice(tag.length), ...l.slice(2)]);
}

function tagof(lines) {
  const created = lines.find((l) => /^\[WebRTC-[0-9a-z]{1,6}\] new RTCPeerConnection$/.test(l[1]));
  return created && created[1].slice(0, created[1].indexOf(']') + 2);
}

test('WebRTC enable: marker, one global only, the enabled line, and what a new connection logs', () => {
  const page = fakepage();
  const before = Object.keys(page.win);
  page.run('webrtc-enable');
  assert.deepEqual(Object.keys(page.win).filter((k) => !before.includes(k)), ['__qxWebRTCDebug']);
  assert.equal(page.win.__qxWebRTCDebug, true);
  assert.deepEqual(page.lines, [enabledline]);

  const configuration = { iceServers: [{ urls: 'stun:example.test' }] };
  const pc = page.connect(configuration, { optional: [] });
  assert.ok(pc instanceof page.peer, 'the real connection is returned');
  assert.deepEqual(pc.args, [configuration, { optional: [] }]);
  assert.ok(vm.runInContext('pc instanceof RTCPeerConnection', Object.assign(page.win, { pc })));
  assert.equal(page.win.RTCPeerConnection.generateCertificate(), 'certificate');
  assert.equal(page.lines[1][1].length, '[WebRTC-'.length + 6 + '] new RTCPeerConnection'.length);
  pc.tag = tagof(page.lines);
  assert.ok(pc.tag, 'a tagged creation line');
  assert.equal(page.lines[1][2], JSON.stringify(configuration));

  pc.fire('icecandidate', { candidate: { type: 'host', protocol: 'udp', address: '10.0.0.5', port: 5000 } });
  pc.fire('icecandidate', { candidate: { type: 'srflx', protocol: 'udp', address: '198.51.100.7', port: 6000,
    relatedAddress: '10.0.0.5', relatedPort: 5000 } });
  pc.fire('icecandidate', { candidate: null });
  pc.fire('icecandidateerror', { errorCode: 701, errorText: 'STUN host lookup received error.',
    url: 'stun:example.test:3478', address: '10.0.0.5', port: 5000 });
  pc.iceConnectionState = 'checking';
  pc.fire('iceconnectionstatechange');
  pc.iceGatheringState = 'complete';
  pc.fire('icegatheringstatechange');
  pc.connectionState = 'connected';
  pc.fire('connectionstatechange');
  pc.signalingState = 'have-local-offer';
  pc.fire('signalingstatechange');
  assert.deepEqual(traced(page.lines, pc).slice(1), [
    ['log', 'ICE candidate: host udp 10.0.0.5:5000'],
    ['log', 'ICE candidate: srflx udp 198.51.100.7:6000 raddr=10.0.0.5:5000'],
    ['log', 'ICE gathering complete'],
    ['warn', 'ICE candidate error: 701 STUN host lookup received error. url=stun:example.test:3478 host=10.0.0.5:5000'],
    ['log', 'iceConnectionState: checking'],
    ['log', 'iceGatheringState: complete'],
    ['log', 'connectionState: connected'],
    ['log', 'signalingState: have-local-offer'],
  ]);
});

test('WebRTC descriptions: summary, whole SDP, implicit local description, calls passed through', () => {
  const page = fakepage();
  page.run('webrtc-enable');
  const pc = page.connect();
  pc.tag = tagof(page.lines);
  const sdp = 'v=0\r\na=fingerprint:sha-256 AB:CD\r\na=setup:actpass\r\n';
  assert.equal(pc.setLocalDescription({ type: 'offer', sdp }), 'local-result');
  pc.localDescription = { type: 'offer', sdp: 'v=0\r\n' };
  assert.equal(pc.setLocalDescription(), 'local-result');
  assert.equal(pc.setRemoteDescription({ type: 'answer', sdp: 'v=0\r\na=setup:active\r\n' }), 'remote-result');
  assert.equal(pc.addIceCandidate({ candidate: 'candidate:1 1 udp 1 10.0.0.6 7000 typ host' }), 'candidate-result');
  assert.equal(pc.addIceCandidate(null), 'candidate-result');
  assert.deepEqual(traced(page.lines, pc).slice(1).map((l) => l[1]), [
    'setLocalDescription type=offer setup=actpass fingerprint-algo=sha-256',
    'LOCAL SDP:\n' + sdp,
    'setLocalDescription type=implicit setup=(missing) fingerprint-algo=(missing)',
    'LOCAL SDP:\nv=0\r\n',
    'setRemoteDescription type=answer setup=active fingerprint-algo=(missing)',
    'REMOTE SDP:\nv=0\r\na=setup:active\r\n',
    'addIceCandidate: candidate:1 1 udp 1 10.0.0.6 7000 typ host',
  ]);
  assert.deepEqual(pc.calls.map((c) => c.length), [2, 1, 2, 2, 2]);
});

test('WebRTC statistics every 2 s: transport and nominated pair with n/a and 0, stop when closed', async () => {
  const page = fakepage();
  page.run('webrtc-enable');
  const pc = page.connect();
  pc.tag = tagof(page.lines);
  assert.equal(page.timers.length, 1);
  assert.equal(page.timers[0].ms, 2000);
  pc.stats = new Map([
    ['T1', { type: 'transport', dtlsState: 'new', dtlsRole: '', tlsVersion: undefined }],
    ['T2', { type: 'transport', dtlsState: 'connected', dtlsRole: 'client', dtlsCipher: 'TLS_AES', tlsVersion: 'FEFD',
      localCertificateId: 'C1', selectedCandidatePairChanges: 2 }],
    ['P1', { type: 'candidate-pair', nominated: true, localCandidateId: 'L', remoteCandidateId: 'R',
      state: 'succeeded', currentRoundTripTime: 0 }],
    ['P2', { type: 'candidate-pair', nominated: true, localCandidateId: 'L', remoteCandidateId: 'R2',
      state: 'succeeded', currentRoundTripTime: 0.012 }],
    ['P3', { type: 'candidate-pair', nominated: false, localCandidateId: 'X', remoteCandidateId: 'Y' }],
  ]);
  page.timers[0].fn();
  await new Promise((r) => setImmediate(r));
  assert.deepEqual(traced(page.lines, pc).slice(1).map((l) => l[1]), [
    'transport: dtlsState=new dtlsRole=n/a dtlsCipher=n/a tlsVersion=n/a localCertId=n/a selectedCandidatePairChanges=0',
    'transport: dtlsState=connected dtlsRole=client dtlsCipher=TLS_AES tlsVersion=FEFD localCertId=C1 selectedCandidatePairChanges=2',
    'nominated pair: local=L remote=R state=succeeded rtt=n/a',
    'nominated pair: local=L remote=R2 state=succeeded rtt=0.012',
  ]);
  pc.connectionState = 'closed';
  page.timers[0].fn();
  assert.equal(page.timers[0].cleared, true);
});

test('WebRTC enable, disable, enable again: no doubled tracing, nothing traced while disabled', () => {
  const page = fakepage();
  page.run('webrtc-disable');
  assert.deepEqual(page.lines, [], 'disable without enable does nothing');
  page.run('webrtc-enable');
  page.run('webrtc-enable');
  assert.deepEqual(page.lines, [enabledline], 'a second enable does nothing');
  page.connect();
  page.run('webrtc-disable');
  assert.equal('__qxWebRTCDebug' in page.win, false);
  assert.deepEqual(page.lines.slice(2), [disabledline]);
  const quiet = page.connect();
  assert.ok(quiet instanceof page.peer);
  assert.equal(page.lines.length, 3, 'a connection made while disabled is not traced');
  assert.equal(page.timers.length, 1);
  page.run('webrtc-enable');
  assert.deepEqual(page.lines[3], enabledline);
  page.connect();
  const created = page.lines.filter((l) => / new RTCPeerConnection$/.test(l[1]));
  assert.equal(created.length, 2, 'one creation line per traced connection');
  assert.equal(page.timers.length, 2);
});

test('JsSIP scripts with and without the library', () => {
  const bare = fakepage();
  bare.run('jssip-enable');
  bare.run('jssip-disable');
  assert.deepEqual(bare.lines, [['warn', '%c[JsSIP Debug] JsSIP not found on this page', 'color: orange; font-weight: bold']]);

  const page = fakepage();
  const calls = [];
  page.win.JsSIP = { debug: { enable: (ns) => calls.push(['enable', ns]), disable: (ns) => calls.push(['disable', ns]) } };
  const before = Object.keys(page.win);
  page.run('jssip-enable');
  page.run('jssip-disable');
  assert.deepEqual(Object.keys(page.win), before);
  assert.deepEqual(calls, [['enable', 'JsSIP:*'], ['disable', 'JsSIP:*']]);
  assert.deepEqual(page.lines, [
    ['log', '%c[JsSIP Debug] Logging enabled', 'color: green; font-weight: bold'],
    ['log', '%c[JsSIP Debug] Logging disabled', 'color: orange; font-weight: bold'],
  ]);
});
