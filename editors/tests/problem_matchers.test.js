// The editors read qbkit's diagnostics with regular expressions: the VS Code extension's
// problem matchers and the Sublime build system's file_regex. Both are run here over what the
// built qbkit prints, as the editors run them: each line of output against each expression.
// The extension's task provider is loaded with a stand-in for the editor's API.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const Module = require('node:module');
const { spawnSync } = require('node:child_process');
const { editors } = require('./tokenizer');

const build = path.resolve(process.env.QBKIT_BUILD || path.join(__dirname, '..', '..', 'build'));
const qbkit = path.join(build, 'qbkit' + (process.platform === 'win32' ? '.exe' : ''));
const manifest = require(path.join(editors, 'vscode', 'package.json'));
const sublimeBuild = JSON.parse(fs.readFileSync(path.join(editors, 'sublime', 'QBScript.sublime-build'), 'utf8'));

// A folder with a script whose mistakes stand in it and in the file it includes.
function scripts(t) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qbkit-matchers-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  fs.writeFileSync(path.join(dir, 'names.qbi'), '#addx "speed"\n#addx 0x12345678 "a"\n:i $sped$\n', 'latin1');
  fs.writeFileSync(path.join(dir, 'main.qbs'),
    '%include "names.qbi"\n:i function $speed$\n\t:i $xyzzy$ = %s(0,"caf\xe9")\n:i if\n', 'latin1');
  return dir;
}

function run(args, cwd) {
  const r = spawnSync(qbkit, args, { cwd, encoding: 'latin1' });
  if (r.error) throw r.error;
  return r;
}

// The problems that VS Code's matchers take from `output`: every line that one matches.
function vscodeProblems(output) {
  const matchers = manifest.contributes.problemMatchers;
  const problems = [];
  for (const line of output.split('\n')) {
    for (const m of matchers) {
      const match = new RegExp(m.pattern.regexp).exec(line);
      if (!match) continue;
      const p = m.pattern;
      const get = (group) => (group === undefined ? undefined : match[group]);
      problems.push({
        matcher: m.name, file: get(p.file), line: get(p.line), column: get(p.column),
        severity: get(p.severity), message: get(p.message), code: get(p.code),
      });
    }
  }
  return problems;
}

test('the problem matchers read every diagnostic of --check, each once', (t) => {
  assert.ok(fs.existsSync(qbkit), `${qbkit} is missing: build first (make build)`);
  const dir = scripts(t);
  const r = run(['--check', 'main.qbs', 'gone.qbs'], dir);
  assert.strictEqual(r.status, 1);
  const problem = (matcher, file, line, column, severity, message, code) =>
    ({ matcher, file, line, column, severity, message, code });
  assert.deepStrictEqual(vscodeProblems(r.stdout), [
    problem('qbkit', 'names.qbi', '2', '7', 'warning',
      '"a" is declared with the checksum 0x12345678, but the game\'s checksum of that name is 0x174841bc; ' +
      'compiled as declared', 'checksum-mismatch'),
    problem('qbkit', 'names.qbi', '3', '4', 'error', "name 'sped' is unknown; did you mean 'speed'?", 'unknown-name'),
    problem('qbkit', 'main.qbs', '2', '4', 'error', "'function' is never closed: add 'endfunction'", 'unclosed-block'),
    problem('qbkit', 'main.qbs', '3', '5', 'error', "name 'xyzzy' is unknown", 'unknown-name'),
    problem('qbkit', 'main.qbs', '3', '5', 'note',
      'to add a new name, declare it before its first use with the line #addx "xyzzy" (or append the output ' +
      'of qbkit -k "xyzzy" to the table file)', undefined),
    problem('qbkit', 'main.qbs', '4', '4', 'error', "'if' is never closed: add 'endif'", 'unclosed-block'),
    problem('qbkit-file', 'gone.qbs', undefined, undefined, 'error', 'cannot open: no such file', 'cannot-open'),
  ]);
});

test('the problem matchers read the diagnostics of -c on standard error, and skip the rest', (t) => {
  const dir = scripts(t);
  const r = run(['-c', 'main.qbs', 'extra.qbs'], dir);
  assert.strictEqual(r.status, 6);
  assert.match(r.stdout, /^Including: 'names.qbi'\n\.\.\.Name 'sped' is unknown - line 3\n$/);
  assert.deepStrictEqual(vscodeProblems(r.stdout), []);
  const problems = vscodeProblems(r.stderr);
  assert.deepStrictEqual(problems.map((p) => [p.file, p.line, p.column, p.severity, p.code]), [
    ['names.qbi', '2', '7', 'warning', 'checksum-mismatch'],
    ['names.qbi', '3', '4', 'error', 'unknown-name'],
  ]);
  // The warning about the command line names no file: no matcher takes it.
  assert.match(r.stderr, /^qbkit: warning: 'extra.qbs' is ignored: -c takes one file \[command-line\]$/m);
});

test('the Sublime build system runs qbkit and finds file, line, column and message', (t) => {
  assert.deepStrictEqual(sublimeBuild.cmd, ['qbkit', '--check', '$file_name']);
  assert.strictEqual(sublimeBuild.selector, 'source.qbs');
  const dir = scripts(t);
  const out = run(['--check', 'main.qbs'], dir).stdout;
  const found = out.split('\n').map((line) => new RegExp(sublimeBuild.file_regex).exec(line)).filter(Boolean);
  assert.strictEqual(found.length, 6);
  assert.deepStrictEqual(found[1].slice(1, 4), ['names.qbi', '3', '4']);
  assert.deepStrictEqual(found[2].slice(1), ['main.qbs', '2', '4',
    "'function' is never closed: add 'endfunction' [unclosed-block]"]);
});

test('the extension provides the tasks check and compile with its problem matchers', () => {
  const names = manifest.contributes.problemMatchers.map((m) => `$${m.name}`);
  const settings = { path: 'qbkit', thug1: true };
  const vscode = {
    workspace: { getConfiguration: () => ({ get: (key, fallback) => (key in settings ? settings[key] : fallback) }) },
    ProcessExecution: class { constructor(process, args, options) { Object.assign(this, { process, args, options }); } },
    Task: class {
      constructor(definition, scope, name, source, execution, matchers) {
        Object.assign(this, { definition, name, source, execution, matchers });
      }
    },
    TaskScope: { Workspace: 1 },
    TaskGroup: { Build: 'build', Test: 'test' },
    TaskRevealKind: { Silent: 2 },
  };
  const load = Module._load;
  const client = { LanguageClient: class {} };
  Module._load = (request, ...rest) => (request === 'vscode' ? vscode
    : request === 'vscode-languageclient/node' ? client : load(request, ...rest));
  let extension;
  try {
    extension = require(path.join(editors, 'vscode', 'extension.js'));
  } finally {
    Module._load = load;
  }
  const tasks = extension.tasks();
  assert.deepStrictEqual(tasks.map((task) => [`${task.source}: ${task.name}`, task.execution.process,
    task.execution.args, task.execution.options.cwd, task.group]), [
    ['qbkit: check', 'qbkit', ['--check', '${fileBasename}', '-thug1'], '${fileDirname}', 'test'],
    ['qbkit: compile', 'qbkit', ['-c', '${fileBasename}', '-thug1'], '${fileDirname}', 'build'],
  ]);
  for (const task of tasks) assert.deepStrictEqual(task.matchers, names);
  assert.deepStrictEqual(manifest.contributes.taskDefinitions[0].properties.command.enum, ['check', 'compile']);
});
