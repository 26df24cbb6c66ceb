// The VS Code extension's entry, run against stand-ins for VS Code and the client package:
// which qbkit it starts, with what, and when.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const Module = require('node:module');
const path = require('node:path');

const settings = {};
const listeners = [];
const started = [];
const providers = {};
const vscode = {
  workspace: {
    workspaceFolders: [{ uri: { fsPath: path.resolve('/mods') } }],
    getConfiguration: () => ({ get: (key, fallback) => (key in settings ? settings[key] : fallback) }),
    onDidChangeConfiguration: (listener) => { listeners.push(listener); return { dispose() {} }; },
    registerTextDocumentContentProvider: (scheme, provider) => { providers[scheme] = provider; return { dispose() {} }; },
  },
  window: { showErrorMessage: (text) => started.push({ error: text }) },
  tasks: { registerTaskProvider: () => ({ dispose() {} }) },
};
class LanguageClient {
  constructor(id, name, server, client) { Object.assign(this, { server, client }); }
  async start() {
    if (this.server.command.includes('missing')) throw new Error('spawn ENOENT');
    started.push(this);
  }
  async stop() { this.stopped = true; }
  async sendRequest(method, params) { return params.uri.endsWith('a.qbs') ? `${method} ${params.uri}` : null; }
}

const load = Module._load;
Module._load = function (request, ...rest) {
  if (request === 'vscode') return vscode;
  if (request === 'vscode-languageclient/node') return { LanguageClient };
  return load.call(this, request, ...rest);
};
const extension = require('../vscode/extension.js');

async function changeSetting(key, value) {
  settings[key] = value;
  for (const listener of listeners) await listener({ affectsConfiguration: (section) => section === `qbkit.${key}` });
}

test('the extension starts qbkit --lsp from qbkit.path or PATH, and again when the setting changes', async () => {
  settings.archives = ['qb.pre'];
  await extension.activate({ subscriptions: [] });
  assert.strictEqual(started.length, 1);
  assert.deepStrictEqual(started[0].server, { command: 'qbkit', args: ['--lsp'] });
  assert.deepStrictEqual(started[0].client.documentSelector.map((s) => s.scheme), ['file', 'untitled', 'qbkit-member']);
  assert.deepStrictEqual(started[0].client.initializationOptions, { archives: ['qb.pre'] });
  // Archive members: their text asked of the server, an error for one that no archive holds.
  const member = (p) => ({ path: p, toString: () => `qbkit-member:${p}` });
  assert.strictEqual(await providers['qbkit-member'].provideTextDocumentContent(member('/qb.pre/a.qbs')),
    'qbkit/memberText qbkit-member:/qb.pre/a.qbs');
  await assert.rejects(providers['qbkit-member'].provideTextDocumentContent(member('/qb.pre/b.qbs')),
    /No archive of qbkit.archives holds \/qb.pre\/b.qbs/);

  await changeSetting('path', 'tools/qbkit.exe');
  assert.ok(started[0].stopped);
  assert.strictEqual(started[1].server.command, path.join(path.resolve('/mods'), 'tools/qbkit.exe'));

  await changeSetting('path', 'missing/qbkit');
  assert.match(started[2].error, /did not start with ".*missing.qbkit": spawn ENOENT\. Set qbkit\.path/);
  await changeSetting('languageServer', false);
  await changeSetting('path', '');
  assert.strictEqual(started.length, 3);
  await extension.deactivate();
});
