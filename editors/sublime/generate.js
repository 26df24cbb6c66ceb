// Writes the Sublime Text syntax (a property list, QBScript.tmLanguage) from the VS Code
// extension's TextMate grammar, so that both editors colour the text alike. Run it after
// every change to the grammar: node editors/sublime/generate.js. The editor tests check
// that the committed file is what it writes.
'use strict';
const fs = require('node:fs');
const path = require('node:path');

const grammarPath = path.join(__dirname, '..', 'vscode', 'syntaxes', 'qbscript.tmLanguage.json');
const outputPath = path.join(__dirname, 'QBScript.tmLanguage');

function escapeXml(s) {
  return s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

// One value as property-list XML, indented by `depth` tabs; dictionary keys sorted.
function plistValue(value, depth) {
  const pad = '\t'.repeat(depth);
  if (typeof value === 'string') return `${pad}<string>${escapeXml(value)}</string>\n`;
  if (Array.isArray(value)) {
    if (value.length === 0) return `${pad}<array/>\n`;
    return `${pad}<array>\n${value.map((v) => plistValue(v, depth + 1)).join('')}${pad}</array>\n`;
  }
  if (value !== null && typeof value === 'object') {
    const keys = Object.keys(value).sort();
    if (keys.length === 0) return `${pad}<dict/>\n`;
    const body = keys
      .map((k) => `${pad}\t<key>${escapeXml(k)}</key>\n${plistValue(value[k], depth + 1)}`)
      .join('');
    return `${pad}<dict>\n${body}${pad}</dict>\n`;
  }
  throw new Error(`a grammar holds only strings, lists and objects, not ${JSON.stringify(value)}`);
}

function sublimeSyntax() {
  const grammar = JSON.parse(fs.readFileSync(grammarPath, 'utf8'));
  return (
    '<?xml version="1.0" encoding="UTF-8"?>\n' +
    '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n' +
    '<plist version="1.0">\n' +
    plistValue(grammar, 0) +
    '</plist>\n'
  );
}

if (require.main === module) fs.writeFileSync(outputPath, sublimeSyntax());

module.exports = { sublimeSyntax, outputPath };
