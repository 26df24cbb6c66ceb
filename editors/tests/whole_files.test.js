// Decompiles generated script-shaped QB files with the built qbkit, in the standard layout,
// the THUG1 layout and with -debug, and tokenises every text and table file it writes as the
// editor does. A file fails on:
// - a line the tokeniser gives up on;
// - an unscoped character: one whose token carries no scope but the grammar's root (blanks
//   included: they have punctuation.whitespace);
// - a token marked invalid, unless it is one of the forms that the decompiler writes but the
//   compiler refuses: the -debug forms (if[1], else[1], endif[1], return[1]), the token
//   " Unknown " and "Unknown instruction at ...".
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { tokenize } = require('./tokenizer');

const build = path.resolve(process.env.QBKIT_BUILD || path.join(__dirname, '..', '..', 'build'));
const exe = process.platform === 'win32' ? '.exe' : '';
const qbkit = path.join(build, 'qbkit' + exe);
const makeSamples = path.join(build, 'tests', 'make_script_samples' + exe);

const neverCompiles = /^(?:(?:if|else|endif|return)\[-?[0-9]+\]|Unknown|Unknown instruction at [0-9a-f]{8}:[0-9a-f]+)$/;

function run(program, args, cwd) {
  const r = spawnSync(program, args, { cwd, encoding: 'latin1', maxBuffer: 64 << 20 });
  if (r.error) throw r.error;
  return r;
}

// What is wrong in one file's tokens, one message per fault, at most a few.
function faults(lines, file) {
  const found = [];
  lines.forEach(({ line, tokens, stoppedEarly }, i) => {
    const where = `${file}:${i + 1}`;
    if (stoppedEarly) found.push(`${where}: the tokeniser gave up on ${JSON.stringify(line)}`);
    for (const t of tokens) {
      if (t.text === '') continue;
      if (t.scopes.length < 2) found.push(`${where}: unscoped ${JSON.stringify(t.text)} in ${JSON.stringify(line)}`);
      if (t.scopes.some((s) => s.startsWith('invalid')) && !neverCompiles.test(t.text))
        found.push(`${where}: invalid ${JSON.stringify(t.text)} (${t.scopes.join(' ')}) in ${JSON.stringify(line)}`);
    }
  });
  return found.slice(0, 10);
}

test('decompiled text and table files are scoped throughout and nothing valid is marked', async (t) => {
  for (const p of [qbkit, makeSamples])
    assert.ok(fs.existsSync(p), `${p} is missing: build first (make build)`);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qbkit-editors-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  assert.strictEqual(run(makeSamples, [dir]).status, 0);

  const samples = fs.readdirSync(dir).filter((f) => f.endsWith('.qb')).sort();
  assert.ok(samples.length >= 10, 'the sample maker wrote too few files');
  const runs = [];
  for (const f of samples) {
    if (f.startsWith('thug1-')) runs.push([f, '-thug1']);
    else runs.push([f, null], [f, '-debug']);
  }
  let lines = 0;
  const sawDebugForm = [];
  for (const [file, option] of runs) {
    const r = run(qbkit, ['-d', file, ...(option ? [option] : [])], dir);
    // A decompile that stops at a byte outside the format may report it in its status.
    if (file !== 'std-stopped.qb') assert.strictEqual(r.status, 0, `qbkit -d ${file} ${option ?? ''}: ${r.stdout}`);
    const label = `${file}${option ? ' ' + option : ''}`;
    const text = await tokenize(r.stdout);
    const table = await tokenize(fs.readFileSync(path.join(dir, file + '_table.qbi'), 'latin1'));
    lines += text.length + table.length;
    assert.deepStrictEqual([...faults(text, label), ...faults(table, label + ' table')], []);
    if (option === '-debug')
      sawDebugForm.push(text.some((l) => l.tokens.some((tk) => tk.scopes.includes('invalid.illegal.debug.qbs'))));
  }
  assert.ok(sawDebugForm.some(Boolean), 'no -debug run showed a debug form');
  assert.ok(lines > 2000, `only ${lines} lines were tokenised`);
});
