// The files each editor installs: the Notepad++ language agrees with the grammar and the
// folding rules, the Sublime syntax is the one the grammar generates, and the VS Code
// extension packages offline with the npm packages of its client.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { grammarPath, editors } = require('./tokenizer');

const udlPath = path.join(editors, 'notepad++', 'qb-script.udl.xml');
const grammar = JSON.parse(fs.readFileSync(grammarPath, 'utf8'));
const languageConfiguration = JSON.parse(
  fs.readFileSync(path.join(editors, 'vscode', 'language-configuration.json'), 'utf8'));

const haveXmllint = spawnSync('xmllint', ['--version']).status === 0;

function checkWellFormed(file) {
  if (haveXmllint) {
    const r = spawnSync('xmllint', ['--noout', file], { encoding: 'utf8' });
    assert.strictEqual(r.status, 0, r.stderr);
  }
}

// The words of a regular expression made of one group of alternatives: "(?:a|b)" or "(a|b)".
function alternatives(regex) {
  const m = /^\((?:\?:)?([^()]*)\)/.exec(regex);
  assert.ok(m, `${regex} does not start with a group of words`);
  return m[1].split('|');
}

// The keywords of the grammar (bare words), by the group of words they belong to.
function grammarKeywords() {
  const groups = { control: [], logical: [], other: [] };
  for (const rule of grammar.repository.keywords.patterns) {
    const words = alternatives(rule.match);
    if (/^(keyword\.control|storage\.type\.function)\./.test(rule.name)) groups.control.push(...words);
    else if (rule.name.startsWith('keyword.operator.logical.')) groups.logical.push(...words);
    else groups.other.push(...words);
  }
  groups.control.push(...alternatives(grammar.repository.select.begin));
  return groups;
}

// Every command word of the grammar that starts with ':', '%' or '#', as the text spells it.
function grammarCommandWords() {
  const words = new Set();
  JSON.stringify(grammar, (key, value) => {
    if ((key === 'match' || key === 'begin') && typeof value === 'string')
      for (const w of value.match(/(?<!\?)[:%#][A-Za-z][A-Za-z0-9_]*(?:\\?[{}]|%)?/g) ?? []) words.add(w.replace('\\', ''));
    return value;
  });
  return words;
}

// Notepad++'s keyword lists by their names, as lists of words.
function udlLists() {
  const xml2js = require(require.resolve('xml2js', { paths: [path.join(editors, 'node_modules', '@vscode', 'vsce')] }));
  let lists;
  xml2js.parseString(fs.readFileSync(udlPath, 'utf8'), { strict: true, async: false }, (error, doc) => {
    assert.ifError(error);
    lists = Object.fromEntries(doc.NotepadPlus.UserLang[0].KeywordLists[0].Keywords.map(
      (k) => [k.$.name, typeof k._ === 'string' ? k._.split(/\s+/).filter(Boolean) : []]));
  });
  return lists;
}

const sorted = (words) => [...new Set(words)].sort();

test('the Notepad++ language is well-formed and its words agree with the grammar', () => {
  checkWellFormed(udlPath);
  const lists = udlLists();
  assert.strictEqual(Object.keys(lists).length, 28);
  const keywords = grammarKeywords();
  const folders = (kind) => lists[`Folders in code2, ${kind}`];
  assert.deepStrictEqual(
    sorted([...lists.Keywords1, ...folders('open'), ...folders('middle'), ...folders('close')]),
    sorted(keywords.control));
  assert.deepStrictEqual(sorted(lists.Keywords2), sorted(keywords.logical));
  assert.deepStrictEqual(sorted(lists.Keywords3), sorted(keywords.other));
  assert.deepStrictEqual(
    sorted([...lists.Keywords4, ...lists.Keywords5, ...lists.Keywords6,
      ...lists['Folders in code1, open'], ...lists['Folders in code1, close']]),
    sorted(grammarCommandWords()));
  // A word that is both a keyword and a folder is coloured as only one of them.
  const all = Object.entries(lists).filter(([name]) => /^(Keywords|Folders)/.test(name)).flatMap(([, w]) => w);
  assert.deepStrictEqual(all.filter((w, i) => all.indexOf(w) !== i), []);
});

test('Notepad++ and VS Code fold the same blocks', () => {
  const lists = udlLists();
  const markers = languageConfiguration.folding.markers;
  const words = (regex) => /\(\?:((?:[A-Za-z_]+\|)+[A-Za-z_]+)\)\(\?!/.exec(regex)[1].split('|');
  assert.deepStrictEqual(sorted(words(markers.start)), sorted(lists['Folders in code2, open']));
  assert.deepStrictEqual(sorted(words(markers.end)), sorted(lists['Folders in code2, close']));
  const start = new RegExp(markers.start);
  const end = new RegExp(markers.end);
  for (const line of [':i function $a$', '\t:i if $a$', '\t:i  :POS(3) while', '\t:i if[1] $a$'])
    assert.ok(start.test(line) && !end.test(line), line);
  for (const line of [':i endfunction', '\t:i endif[2] ', '\t:i loop_to ', '\t\t:i end_switch'])
    assert.ok(end.test(line) && !start.test(line), line);
  for (const line of ['\t:i $if$ = %i(1,00000001)', '\t:i else ', '#/ function', '\t:i iffy'])
    assert.ok(!start.test(line) && !end.test(line), line);
});

test('the Sublime syntax is the one the grammar generates', () => {
  const { sublimeSyntax, outputPath } = require('../sublime/generate');
  checkWellFormed(outputPath);
  assert.ok(fs.readFileSync(outputPath, 'utf8') === sublimeSyntax(),
    'QBScript.tmLanguage is out of date: run node editors/sublime/generate.js');
});

// The packages the extension needs at run time and theirs, copied from editors/node_modules
// into `stage`, each at the same place below node_modules, so that Node finds them there as
// it does here. Returns their folders, relative to `stage`.
function copyRuntimePackages(names, stage) {
  const copied = new Set();
  const visit = (name, from) => {
    // Node's lookup: node_modules of `from`, then of each folder above it up to editors/.
    let dir = from;
    while (!fs.existsSync(path.join(dir, 'node_modules', name, 'package.json'))) {
      assert.notStrictEqual(dir, editors, `the npm package ${name} is not installed`);
      dir = path.dirname(dir);
    }
    const found = path.join(dir, 'node_modules', name);
    const relative = path.relative(editors, found);
    if (copied.has(relative)) return;
    copied.add(relative);
    fs.cpSync(found, path.join(stage, relative), {
      recursive: true, filter: (src) => !path.relative(found, src).split(path.sep).includes('node_modules') });
    const manifest = JSON.parse(fs.readFileSync(path.join(found, 'package.json'), 'utf8'));
    for (const dependency of Object.keys(manifest.dependencies ?? {})) visit(dependency, found);
  };
  for (const name of names) visit(name, editors);
  return copied;
}

// The names of the files a .vsix (a zip) holds.
function zipEntries(file) {
  const yauzl = require(require.resolve('yauzl', { paths: [path.join(editors, 'node_modules', '@vscode', 'vsce')] }));
  return new Promise((resolve, reject) => {
    yauzl.open(file, { lazyEntries: true }, (error, zip) => {
      if (error) return reject(error);
      const names = [];
      zip.on('entry', (entry) => { names.push(entry.fileName); zip.readEntry(); });
      zip.on('end', () => resolve(names));
      zip.readEntry();
    });
  });
}

test('the VS Code extension packages offline, with its client and nothing else', async () => {
  const build = path.resolve(process.env.QBKIT_BUILD || path.join(editors, '..', 'build'));
  const out = path.join(build, 'editors');
  const manifest = JSON.parse(fs.readFileSync(path.join(editors, 'vscode', 'package.json'), 'utf8'));
  // The client is pinned by the lock file of editors/, at the version the manifest names.
  const pinned = JSON.parse(fs.readFileSync(path.join(editors, 'package.json'), 'utf8')).dependencies;
  assert.deepStrictEqual(manifest.dependencies, pinned);
  const vsix = path.join(out, `${manifest.name}-${manifest.version}.vsix`);
  const stage = path.join(out, 'vscode');
  fs.rmSync(stage, { recursive: true, force: true });
  fs.rmSync(vsix, { force: true });
  fs.cpSync(path.join(editors, 'vscode'), stage, { recursive: true });
  const packages = copyRuntimePackages(Object.keys(manifest.dependencies), stage);
  const vsce = path.join(editors, 'node_modules', '@vscode', 'vsce', 'vsce');
  const r = spawnSync(process.execPath,
    [vsce, 'package', '--allow-missing-repository', '--skip-license', '--out', vsix],
    { cwd: stage, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'], timeout: 120_000 });
  assert.strictEqual(r.status, 0, r.error ? String(r.error) : r.stdout + r.stderr);
  const entries = await zipEntries(vsix);
  const folders = new Set(entries.filter((e) => e.startsWith('extension/node_modules/'))
    .map((e) => e.split('/').slice(1).join('/').replace(/^((?:node_modules\/(?:@[^/]+\/)?[^/]+\/?)+).*$/, '$1').replace(/\/$/, '')));
  assert.deepStrictEqual([...folders].sort(), [...packages].map((p) => p.split(path.sep).join('/')).sort());
  const own = entries.filter((e) => e.startsWith('extension/') && !e.startsWith('extension/node_modules/'));
  assert.deepStrictEqual(own.sort(), ['extension/extension.js', 'extension/language-configuration.json',
    'extension/package.json', 'extension/readme.md', 'extension/syntaxes/qbscript.tmLanguage.json']);
});
