// The tasks "qbkit: check" and "qbkit: compile" for the file in the active editor. Each runs
// qbkit in the file's folder, where the text's %include lines find their files, and reads its
// diagnostics with the problem matchers of package.json, so that each error is listed in the
// Problems view and a click goes to its line and column.
'use strict';
const vscode = require('vscode');

const TYPE = 'qbkit';
const PROBLEM_MATCHERS = ['$qbkit', '$qbkit-file'];

// qbkit's arguments: -thug1 goes right after the file name, the one place -c reads it.
function argumentsFor(command, thug1) {
  return [command === 'check' ? '--check' : '-c', '${fileBasename}', ...(thug1 ? ['-thug1'] : [])];
}

function taskFor(command, group) {
  const settings = vscode.workspace.getConfiguration('qbkit');
  const execution = new vscode.ProcessExecution(settings.get('path') || 'qbkit',
    argumentsFor(command, settings.get('thug1')), { cwd: '${fileDirname}' });
  const task = new vscode.Task({ type: TYPE, command }, vscode.TaskScope.Workspace, command, TYPE, execution,
    PROBLEM_MATCHERS);
  task.group = group;
  task.presentationOptions = { reveal: vscode.TaskRevealKind.Silent, clear: true };
  return task;
}

function tasks() {
  return [taskFor('check', vscode.TaskGroup.Test), taskFor('compile', vscode.TaskGroup.Build)];
}

function activate(context) {
  context.subscriptions.push(vscode.tasks.registerTaskProvider(TYPE, {
    provideTasks: () => tasks(),
    // A task of this type written in tasks.json runs as it stands.
    resolveTask: () => undefined,
  }));
}

function deactivate() {}

module.exports = { activate, deactivate, tasks };
