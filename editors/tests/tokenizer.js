// Tokenises script text with the VS Code extension's grammar, through the editor's own
// tokeniser (vscode-textmate with the Oniguruma regular expressions it runs on).
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const textmate = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const editors = path.join(__dirname, '..');
const grammarPath = path.join(editors, 'vscode', 'syntaxes', 'qbscript.tmLanguage.json');
const rootScope = 'source.qbs';

let grammarPromise;

// The grammar, loaded once per process.
function loadGrammar() {
  grammarPromise ??= (async () => {
    const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
    await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
    const registry = new textmate.Registry({
      onigLib: Promise.resolve({
        createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
        createOnigString: (s) => new oniguruma.OnigString(s),
      }),
      loadGrammar: async (scopeName) =>
        scopeName === rootScope
          ? textmate.parseRawGrammar(fs.readFileSync(grammarPath, 'utf8'), grammarPath)
          : null,
    });
    return registry.loadGrammar(rootScope);
  })();
  return grammarPromise;
}

// Lines as the editor splits them: at CR LF, CR or LF.
function splitLines(text) {
  return text.split(/\r\n|\r|\n/);
}

// Every line of `text` with its tokens: {line, tokens: [{text, scopes}], stoppedEarly}.
async function tokenize(text) {
  const grammar = await loadGrammar();
  let state = textmate.INITIAL;
  return splitLines(text).map((line) => {
    const result = grammar.tokenizeLine(line, state, 1000);
    state = result.ruleStack;
    const tokens = result.tokens.map((t, i) => ({
      text: line.slice(t.startIndex, i + 1 < result.tokens.length ? result.tokens[i + 1].startIndex : line.length),
      scopes: t.scopes,
    }));
    return { line, tokens, stoppedEarly: result.stoppedEarly };
  });
}

module.exports = { tokenize, grammarPath, editors };
