// Starts qbkit's language server for the script text and the table files, and offers the tasks
// "qbkit: check" and "qbkit: compile" for the file in the active editor, for users who turn
// the server off. Both run the qbkit that the qbkit.path setting names, or the one on PATH.
// The server reads qbkit.archives at its start and whenever the qbkit settings change; the
// scripts of those archives open as read-only documents under "qbkit-member:" URIs, their
// text asked of the server. Each
// task runs qbkit in the file's folder, where the text's %include lines find their files, and
// reads its diagnostics with the problem matchers of package.json, so that each error is
// listed in the Problems view and a click goes to its line and column.
'use strict';
const path = require('path');
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

const TYPE = 'qbkit';
const PROBLEM_MATCHERS = ['$qbkit', '$qbkit-file'];
const MEMBER_SCHEME = 'qbkit-member';

let client;

function settings() {
  return vscode.workspace.getConfiguration('qbkit');
}

// qbkit.path, a relative one taken from the first workspace folder; else "qbkit" on PATH.
function qbkitCommand() {
  const configured = (settings().get('path', '') || '').trim();
  if (!configured) return 'qbkit';
  const folder = vscode.workspace.workspaceFolders?.[0];
  return path.isAbsolute(configured) || !folder || !configured.includes(path.sep) && !configured.includes('/')
    ? configured : path.join(folder.uri.fsPath, configured);
}

// qbkit's arguments: -thug1 goes right after the file name, the one place -c reads it.
function argumentsFor(command, thug1) {
  return [command === 'check' ? '--check' : '-c', '${fileBasename}', ...(thug1 ? ['-thug1'] : [])];
}

function taskFor(command, group) {
  const execution = new vscode.ProcessExecution(qbkitCommand(), argumentsFor(command, settings().get('thug1')),
    { cwd: '${fileDirname}' });
  const task = new vscode.Task({ type: TYPE, command }, vscode.TaskScope.Workspace, command, TYPE, execution,
    PROBLEM_MATCHERS);
  task.group = group;
  task.presentationOptions = { reveal: vscode.TaskRevealKind.Silent, clear: true };
  return task;
}

function tasks() {
  return [taskFor('check', vscode.TaskGroup.Test), taskFor('compile', vscode.TaskGroup.Build)];
}

async function start() {
  if (!settings().get('languageServer', true)) return;
  const command = qbkitCommand();
  client = new LanguageClient('qbkit', 'qbkit', { command, args: ['--lsp'] }, {
    documentSelector: [{ scheme: 'file', language: 'qbscript' }, { scheme: 'untitled', language: 'qbscript' },
      { scheme: MEMBER_SCHEME, language: 'qbscript' }],
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

// The script text of an archive member, as the server decompiled it.
const memberTexts = {
  async provideTextDocumentContent(uri) {
    if (!client) throw new Error('qbkit\'s language server is not running: it serves the archives\' scripts');
    const text = await client.sendRequest('qbkit/memberText', { uri: uri.toString() });
    if (text === null) throw new Error(`No archive of qbkit.archives holds ${uri.path}`);
    return text;
  },
};

async function stop() {
  const running = client;
  client = undefined;
  if (running) await running.stop();
}

function activate(context) {
  context.subscriptions.push(vscode.tasks.registerTaskProvider(TYPE, {
    provideTasks: () => tasks(),
    // A task of this type written in tasks.json runs as it stands.
    resolveTask: () => undefined,
  }));
  context.subscriptions.push(vscode.workspace.registerTextDocumentContentProvider(MEMBER_SCHEME, memberTexts));
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

module.exports = { activate, deactivate, tasks };
