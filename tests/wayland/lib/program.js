// A copy of the program in a folder of its own with the example settings.lua
// and automation.lua beside it. The example automation.lua is loaded as the
// module "example" by an automation.lua that adds page events for the
// tests: { type: 'sendstring', text } types the text; 'probe' see below.
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { root, exe, fakeservice, app } = require('../../e2e/lib/harness');

// { type: 'probe' } dials what the window functions and the clipboard say
// of the active window (qx.dial passes up to 20 bytes of any text).
const automation = `require('example')
qx.onevent(function(e)
  if type(e) ~= 'table' then return end
  if e.type == 'sendstring' then qx.sendstring(e.text) end
  if e.type == 'probe' then
    local w = qx.getactivewindow()
    qx.dial('title ' .. qx.getwindowtext(w))
    qx.dial('pid ' .. tostring(qx.getwindowthreadprocessid(w) == e.pid))
    qx.dial('class ' .. qx.getclassname(w))
    qx.dial('hidden ' .. tostring(qx.showwindow(w, qx.SW_HIDE)))
    qx.dial('clip ' .. qx.getclipboardtext())
    qx.setclipboardtext('from the script')
  end
end)
return true
`;

function examplecopy(t) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'orva-wayland-bin-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  fs.copyFileSync(exe, path.join(dir, 'orvalink-desktop'));
  fs.chmodSync(path.join(dir, 'orvalink-desktop'), 0o755);
  fs.copyFileSync(path.join(root, 'examples', 'settings.lua'), path.join(dir, 'settings.lua'));
  fs.copyFileSync(path.join(root, 'examples', 'automation.lua'), path.join(dir, 'example.lua'));
  fs.writeFileSync(path.join(dir, 'automation.lua'), automation);
  return path.join(dir, 'orvalink-desktop');
}

// The program copy with the example scripts started against a service page
// that reports makeCall and hangup; resolves once the page has loaded.
async function startexample(t) {
  const exe = examplecopy(t);
  const service = await new fakeservice().start();
  const page = service.scripted(`<script>
    function makeCall(number) { report({ makeCall: number }); }
    function hangup() { report({ hangup: true }); }
  </script>`);
  const program = new app({ origin: service.origin, exe }).start();
  t.after(async () => { program.kill(); await service.stop(); });
  await service.report((r) => r.ready, 60000);
  const sendstring = (text) => page(`winOnEvent(JSON.stringify({ type: 'sendstring', text: ${JSON.stringify(text)} }))`);
  return { service, page, program, sendstring };
}

module.exports = { examplecopy, startexample };
