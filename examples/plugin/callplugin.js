#!/usr/bin/env node
// Calls a 32-bit plugin through the relay program, as orvalink Desktop does,
// without the program: listens on a private socket, starts modrelay on it,
// sends "ini|", then each call, then "fini|", and prints what came back.
//
//   node callplugin.js <modrelay> <plugin.qxp> [function argument]...
//
// Messages on the socket are a 4-byte little-endian length and that many
// bytes; a call is "function|argument", its answer the plugin's result.
'use strict';

const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');

function frame(text) {
  const body = Buffer.from(text, 'utf8');
  const head = Buffer.alloc(4);
  head.writeUInt32LE(body.length);
  return Buffer.concat([head, body]);
}

// Resolves with each whole message read from the socket, in order.
function reader(socket) {
  let data = Buffer.alloc(0);
  const waiting = [];
  const ready = [];
  socket.on('data', (chunk) => {
    data = Buffer.concat([data, chunk]);
    while (data.length >= 4 && data.length >= 4 + data.readUInt32LE(0)) {
      const n = data.readUInt32LE(0);
      const message = data.subarray(4, 4 + n).toString('utf8');
      data = data.subarray(4 + n);
      if (waiting.length) waiting.shift()(message); else ready.push(message);
    }
  });
  return () => new Promise((resolve) => { if (ready.length) resolve(ready.shift()); else waiting.push(resolve); });
}

async function main() {
  const [relay, plugin, ...rest] = process.argv.slice(2);
  if (!relay || !plugin || rest.length % 2) {
    console.error('usage: node callplugin.js <modrelay> <plugin.qxp> [function argument]...');
    process.exit(2);
  }
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'callplugin-'));
  const socketpath = path.join(dir, 'pipe');
  const server = net.createServer();
  await new Promise((r) => server.listen(socketpath, r));
  const child = spawn(relay, [socketpath, path.resolve(plugin)], { stdio: ['ignore', 'inherit', 'inherit'] });
  const exited = new Promise((r) => child.on('exit', (code) => r(code)));
  const connected = new Promise((r) => server.once('connection', r));
  const first = await Promise.race([connected, exited.then((code) => ({ code }))]);
  if (!(first instanceof net.Socket)) {
    console.error('modrelay ended with code ' + first.code + ' before connecting');
    server.close();
    fs.rmSync(dir, { recursive: true, force: true });
    process.exitCode = 1;
    return;
  }
  const next = reader(first);
  first.write(frame('ini|'));
  await next();
  for (let i = 0; i < rest.length; i += 2) {
    first.write(frame(rest[i] + '|' + rest[i + 1]));
    console.log(rest[i] + '(' + JSON.stringify(rest[i + 1]) + ') = ' + JSON.stringify(await next()));
  }
  first.write(frame('fini|'));
  await next();  // "ok"
  console.log('modrelay ended with code ' + (await exited));
  first.destroy();
  server.close();
  fs.rmSync(dir, { recursive: true, force: true });
}

main();
