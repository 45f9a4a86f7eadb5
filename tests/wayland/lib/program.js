// A copy of the program in a folder of its own with the example settings.lua
// and automation.lua beside it. The example automation.lua is loaded as the
// module "example" by an automation.lua that adds one page event for the
// tests: { type: 'sendstring', text } types the text.
'use strict';

const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { root, exe } = require('../../e2e/lib/harness');

const automation = `require('example')
qx.onevent(function(e)
  if type(e) == 'table' and e.type == 'sendstring' then qx.sendstring(e.text) end
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

module.exports = { examplecopy };
