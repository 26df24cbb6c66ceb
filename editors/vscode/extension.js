// Starts qbkit's language server for the script text and the table files: the qbkit that the
// qbkit.path setting names, or the one found on PATH. The server reads qbkit.archives at its
// start and whenever the qbkit settings change.
'use strict';
const path = require('path');
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function settings() {
  return vscode.workspace.getConfiguration('qbkit');
}

// qbkit.path, a relative one taken from the first workspace folder; else "qbkit" on PATH.
function serverCommand() {
  const configured = settings().get('path', '').trim();
  if (!configured) return 'qbkit';
  const folder = vscode.workspace.workspaceFolders?.[0];
  return path.isAbsolute(configured) || !folder ? configured : path.join(folder.uri.fsPath, configured);
}

async function start() {
  if (!settings().get('languageServer', true)) return;
  const command = serverCommand();
  client = new LanguageClient('qbkit', 'qbkit', { command, args: ['--lsp'] }, {
    documentSelector: [{ language: 'qbscript' }],
    initializationOptions: { archives: settings().get('archives', []) },
    synchronize: { configurationSection: 'qbkit' },
  });
  try {
    await client.start();
  } catch (error) {
    client = undefined;
    vscode.window.showErrorMessage(`qbkit's language server did not start with "${command}": ${error.message}. ` +
      'Set qbkit.path to qbkit\'s executable, or put qbkit on PATH.');
  }
}

async function stop() {
  const running = client;
  client = undefined;
  if (running) await running.stop();
}

function activate(context) {
  context.subscriptions.push(vscode.workspace.onDidChangeConfiguration(async (event) => {
    if (event.affectsConfiguration('qbkit.path') || event.affectsConfiguration('qbkit.languageServer')) {
      await stop();
      await start();
    }
  }));
  return start();
}

function deactivate() {
  return stop();
}

module.exports = { activate, deactivate };
