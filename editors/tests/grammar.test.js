// The grammar's unit tests: the files under grammar/ hold source lines with the scopes each
// part must get, in the format of vscode-tmgrammar-test.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { grammarPath, editors } = require('./tokenizer');

test('the grammar gives each form its scope', () => {
  const runner = path.join(editors, 'node_modules', 'vscode-tmgrammar-test', 'dist', 'unit.js');
  const r = spawnSync(process.execPath, [runner, '-g', grammarPath, path.join('tests', 'grammar', '*.test.qbs')], {
    cwd: editors,
    encoding: 'utf8',
    timeout: 60_000,  // the runner can backtrack without end on a malformed assertion
  });
  assert.strictEqual(r.status, 0, r.error ? String(r.error) : r.stdout + r.stderr);
});
