// Downloads of the program's pages: saved without a dialog into the data
// directory's Downloads folder, with progress lines in the page's console
// (copied to the debug output) that show the URL exactly.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { fakeservice, app, until, sleep } = require('./lib/harness');

const datadirof = (program) => path.join(program.data, 'all', 'orvalink Desktop for Windows');

function serve(service, pathname, body, name) {
  service.route(pathname, (req, res) => {
    res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': body.length,
      'Content-Disposition': `attachment; filename="${name}"` });
    res.end(body);
  });
}

// A page that downloads `href` by a link click as soon as it has loaded.
const downloadpage = (href) => `<title>downloads</title><script>
  const a = document.createElement('a');
  a.href = ${JSON.stringify(href).replace(/</g, '\\u003c')};
  document.documentElement.append(a);
  a.click();
  report({ clicked: a.href });
</script>`;

const downloadlines = (program) => program.lines.filter((l) => l.startsWith('console: Download '));

test('a download of report.pdf lands in Downloads with progress lines ending in (complete)', async (t) => {
  const service = await new fakeservice().start();
  const body = crypto.randomBytes(3 * 1024 * 1024);
  serve(service, '/files/report.pdf', body, 'report.pdf');
  service.page(downloadpage('/files/report.pdf'));
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });

  const url = service.origin + '/files/report.pdf';
  const last = 'console: Download ' + url + ' - ' + body.length + '/' + body.length + ' (complete)';
  await program.line(new RegExp('^' + last.replace(/[.()/]/g, '\\$&') + '$'), 30000);
  const lines = downloadlines(program);
  assert.equal(lines[lines.length - 1], last);
  // The total is -1 until the engine knows it.
  for (const l of lines) {
    assert.match(l, new RegExp('^console: Download ' + url.replace(/[.()/]/g, '\\$&') + ' - \\d+/(-1|' + body.length + ')'));
  }
  const target = path.join(datadirof(program), 'Downloads', 'report.pdf');
  await until(() => fs.existsSync(target), 'the saved file');
  assert.ok(fs.readFileSync(target).equals(body));
  assert.deepEqual(fs.readdirSync(path.dirname(target)), ['report.pdf']);
});

test('a URL with a quote, a line separator and a closing script tag is shown exactly', async (t) => {
  const service = await new fakeservice().start();
  // The engine sends the path percent-encoded; it reports the URL with the
  // non-ASCII character decoded.
  serve(service, '/files/q%22%E2%80%A8%3C/script%3E.bin', Buffer.from('12345'), 'odd.bin');
  service.page(`<script>window.injected = () => report({ injected: true });</script>` +
    downloadpage('/files/q"\u2028</script>.bin'));
  const program = new app({ origin: service.origin }).start();
  t.after(async () => { program.kill(); await service.stop(); });

  const want = 'console: Download ' + service.origin + '/files/q%22\u2028%3C/script%3E.bin - 5/5 (complete)';
  await until(() => program.lines.includes(want), 'the complete line', 30000).catch((e) => {
    throw new Error(e.message + ':\n' + want + '\ngot:\n' + downloadlines(program).join('\n'));
  });
  await until(() => fs.existsSync(path.join(datadirof(program), 'Downloads', 'odd.bin')), 'the saved file');
  assert.ok(!service.reports.some((r) => r.injected));
});

test('when the Downloads folder cannot be made, the download is cancelled and says why', async (t) => {
  const service = await new fakeservice().start();
  serve(service, '/files/report.pdf', Buffer.alloc(1000, 1), 'report.pdf');
  service.page(downloadpage('/files/report.pdf'));
  const program = new app({ origin: service.origin });
  // A file stands where the folder would be.
  fs.mkdirSync(datadirof(program), { recursive: true });
  fs.writeFileSync(path.join(datadirof(program), 'Downloads'), 'not a folder');
  program.start();
  t.after(async () => { program.kill(); await service.stop(); });

  const url = service.origin + '/files/report.pdf';
  const why = await program.line(/^download of .* cancelled: /, 30000);
  assert.ok(why.startsWith('download of ' + url + ' cancelled: cannot create ' + path.join(datadirof(program), 'Downloads') + ': '), why);
  await until(() => downloadlines(program).length > 0, 'a progress line');
  await sleep(500);
  const lines = downloadlines(program);
  assert.match(lines[lines.length - 1], new RegExp('^console: Download ' + url.replace(/[.()/]/g, '\\$&') + ' - \\d+/-?\\d+ \\(canceled\\)$'));
  assert.equal(fs.readFileSync(path.join(datadirof(program), 'Downloads'), 'utf8'), 'not a folder');
});
