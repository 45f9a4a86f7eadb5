// The documentation keeps up with the program: every page function and every
// qx function is described, and every JavaScript example parses.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const root = path.resolve(__dirname, '../..');
const read = (f) => fs.readFileSync(path.join(root, f), 'utf8');

test('docs/page-api.md describes every win* function the page bridge installs', () => {
  const bridge = read('browser/pagebridge.js');
  const names = [.../var names = \[([\s\S]*?)\];/.exec(bridge)[1].matchAll(/'(win\w+)'/g)].map((m) => m[1]);
  assert.equal(names.length, 18);
  const doc = read('docs/page-api.md');
  for (const name of names) assert.match(doc, new RegExp('\\| `' + name + '\\('), name + ' has no table row');
  for (const event of ['makeCall', 'hangup']) assert.ok(doc.includes('`' + event + '('), event);
});

test('docs/automation.md describes every qx function', () => {
  const sources = ['automation/qxwindows.cpp', 'automation/qxtext.cpp', 'automation/qxinput.cpp'].map(read).join('\n');
  const names = [...sources.matchAll(/\{"(\w+)", \w+\}/g)].map((m) => m[1]);
  assert.equal(names.length, 38);
  const doc = read('docs/automation.md');
  for (const name of names) assert.match(doc, new RegExp('\\| `' + name + '\\('), name + ' has no table row');
});

test('every JavaScript example in the documentation parses', () => {
  let count = 0;
  for (const file of ['docs/page-api.md', 'docs/plugins.md', 'docs/automation.md', 'README.md']) {
    const text = read(file);
    for (const m of text.matchAll(/```js\n([\s\S]*?)```/g)) {
      count += 1;
      assert.doesNotThrow(() => new vm.Script(m[1], { filename: file }), file + ':\n' + m[1]);
    }
    for (const m of text.matchAll(/```html\n([\s\S]*?)```/g)) {
      for (const s of m[1].matchAll(/<script>([\s\S]*?)<\/script>/g)) {
        count += 1;
        assert.doesNotThrow(() => new vm.Script(s[1], { filename: file }), file + ':\n' + s[1]);
      }
    }
  }
  assert.ok(count >= 7, count + ' examples');
});

test('the example plugin caller parses', () => {
  assert.doesNotThrow(() => new vm.Script(read('examples/plugin/callplugin.js').replace(/^#!.*\n/, '')));
});
