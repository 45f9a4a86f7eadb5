#!/usr/bin/env node
// The bundled demo service: a loopback web server that offers a demo
// softphone console at /a/desktop/, so the program can be tried without the
// real service. Node's standard library only.
'use strict';

const http = require('node:http');
const fs = require('node:fs');
const path = require('node:path');

const publicdir = path.join(__dirname, 'public');
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.png': 'image/png', '.qxp': 'application/octet-stream' };

function parseargs(argv) {
  const options = { host: '127.0.0.1', port: 8765, plugins: null };
  for (const a of argv) {
    const m = /^--(host|port|plugins)=(.*)$/.exec(a);
    if (m) options[m[1]] = m[1] === 'port' ? Number(m[2]) : m[2];
  }
  return options;
}

function sendfile(res, file) {
  fs.readFile(file, (err, data) => {
    if (err) {
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('not found\n');
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
      'Cache-Control': 'no-store' });
    res.end(data);
  });
}

function page(res, title, body) {
  res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(`<!doctype html><meta charset="utf-8"><title>${title}</title>` +
    `<link rel="stylesheet" href="/a/desktop/style.css"><main class="doc"><h1>${title}</h1>${body}</main>`);
}

function handler(options) {
  return (req, res) => {
    const url = new URL(req.url, 'http://demo');
    const p = url.pathname;
    if (p === '/' ) {
      res.writeHead(302, { Location: '/a/desktop/' });
      res.end();
    } else if (p === '/a/desktop/' || p === '/a/desktop') {
      sendfile(res, path.join(publicdir, 'console.html'));
    } else if (p.startsWith('/a/desktop/') && !p.includes('..')) {
      sendfile(res, path.join(publicdir, p.slice('/a/desktop/'.length)));
    } else if (p === '/docs/desktop' || p === '/docs/desktop/') {
      page(res, 'orvalink Desktop', '<p>This is the demo service. The desktop program embeds the console page ' +
        'at <code>/a/desktop/</code> and gives it native powers.</p>');
    } else if (p === '/docs/desktop_install/') {
      page(res, 'Installing orvalink Desktop', '<p>The demo service offers no installers.</p>');
    } else if (p === '/signin') {
      // Stands in for the service's sign-in page in the system browser: it
      // hands the sign-in back to the program's loopback listener.
      page(res, 'Demo sign-in', '<p>Signed in as demo.</p>' +
        '<p><a href="http://127.0.0.1:25652/api/user/completeauth?code=demo-code">Return to orvalink Desktop</a></p>');
    } else if (p.startsWith('/plugins/') && options.plugins && !p.includes('..')) {
      sendfile(res, path.join(options.plugins, p.slice('/plugins/'.length)));
    } else {
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('not found\n');
    }
  };
}

if (require.main === module) {
  const options = parseargs(process.argv.slice(2));
  const server = http.createServer(handler(options));
  server.listen(options.port, options.host, () => {
    console.log(`demo service on http://${options.host}:${server.address().port}/a/desktop/`);
  });
}

module.exports = { handler };
