#!/usr/bin/env python3
"""Drives `qbkit --lsp` as an editor does, over pipes, and compares its exact answers.

    language_server_test.py QBKIT VERSION

QBKIT is the qbkit to run, VERSION the version it must announce. QBKIT_EXE in the
environment, when set, is the command instead, as for the other end-to-end tests (words
separated by blanks, such as "wine64 build-win/qbkit.exe"; relative paths are taken from
the directory the test starts in).

Each check is a function that takes a Session factory; CHECKS lists them in order. A check
starts its own server in a fresh folder and ends it; a failing check prints what it expected
and what came, and the others still run. To add a feature check: write the file it needs
with session.write(), open it with session.open(), ask with session.request() and compare.
"""
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import urllib.parse

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TIMEOUT = 120  # seconds for one answer: Wine starts slowly


def qbkit_command(built):
    words = os.environ.get("QBKIT_EXE", "").split() or [built]
    return [os.path.abspath(w) if "/" in w and not os.path.isabs(w) and os.path.exists(w) else w
            for w in words]


class Session:
    """One server process in a fresh folder, spoken to as an editor does."""

    def __init__(self, command, extra_args=()):
        self.command = command
        self.folder = tempfile.mkdtemp(prefix="qbkit-lsp-")
        self.process = subprocess.Popen(command + ["--lsp", *extra_args], cwd=self.folder, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.messages = queue.Queue()
        self.notifications = []
        self.next_id = 1
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        out = self.process.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    self.messages.put(None)
                    return
                line = line.rstrip(b"\r\n")
                if not line:
                    break
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value)
            self.messages.put(json.loads(out.read(length)))

    def uri(self, name):
        """The file URI of a file in the session's folder, as the server sees the path: a
        Windows binary run through Wine sees the Unix root as drive Z:."""
        path = os.path.join(self.folder, name)
        if self.command[-1].lower().endswith(".exe"):
            return "file:///z%3A" + urllib.parse.quote(path)
        return "file://" + urllib.parse.quote(path)

    def write(self, name, data):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(data)

    def send_bytes(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message):
        body = json.dumps(message).encode()
        self.send_bytes(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def notify(self, method, params=None):
        self.send({"jsonrpc": "2.0", "method": method, "params": params or {}})

    def request(self, method, params=None):
        """Sends a request and returns the whole answer to it; notifications that come first
        are kept in self.notifications."""
        request_id = self.next_id
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": request_id, "method": method, "params": params or {}})
        while True:
            message = self.receive()
            if "method" not in message and message.get("id") == request_id:
                return message
            self.notifications.append(message)

    def receive(self):
        message = self.messages.get(timeout=TIMEOUT)
        if message is None:
            raise AssertionError("the server closed its output")
        return message

    def initialize(self, **options):
        answer = self.request("initialize", {"processId": None, "rootUri": self.uri(""), "capabilities": {},
                                             "initializationOptions": options})
        self.notify("initialized")
        return answer

    def open(self, name, text, version=1):
        self.notify("textDocument/didOpen", {"textDocument": {
            "uri": self.uri(name), "languageId": "qbscript", "version": version, "text": text}})

    def finish(self):
        """Closes the server's input and returns its exit status."""
        try:
            self.process.stdin.close()
        except BrokenPipeError:
            pass
        try:
            return self.process.wait(timeout=TIMEOUT)
        finally:
            self.end()

    def end(self):
        """Ends the server if it still runs, and removes the folder."""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_qbkit(self, *args):
        """Runs qbkit with `args` in the session's folder: its status and standard output."""
        r = subprocess.run(self.command + list(args), cwd=self.folder, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, timeout=TIMEOUT, check=False)
        return r.returncode, r.stdout


def expect(what, got, expected):
    if got != expected:
        raise AssertionError("%s:\n  expected %s\n  got      %s" % (what, json.dumps(expected), json.dumps(got)))


def check_initialize(new_session, version):
    s = new_session()
    expect("the answer to initialize", s.initialize(), {"jsonrpc": "2.0", "id": 1, "result": {
        "capabilities": {
            "positionEncoding": "utf-16",
            "textDocumentSync": {"openClose": True, "change": 1, "save": {"includeText": False}},
            "hoverProvider": True,
            "definitionProvider": True,
            "referencesProvider": True,
            "documentSymbolProvider": True,
            "completionProvider": {"triggerCharacters": ["$"]},
            "codeActionProvider": {"codeActionKinds": ["quickfix"]},
        },
        "serverInfo": {"name": "qbkit", "version": version}}})
    s.request("shutdown")
    s.notify("exit")
    expect("the status after shutdown and exit", s.finish(), 0)


def check_errors(new_session, version):
    s = new_session()
    expect("a request before initialize", s.request("textDocument/hover"), {"jsonrpc": "2.0", "id": 1, "error": {
        "code": -32002, "message": "the server is not initialized: send initialize first"}})
    s.initialize()
    expect("an unknown method", s.request("textDocument/rename"), {"jsonrpc": "2.0", "id": 3, "error": {
        "code": -32601, "message": "unknown method: textDocument/rename"}})
    s.send_bytes(b"Content-Length: 3\r\n\r\n{x}")
    expect("a body that is no JSON", s.receive(), {"jsonrpc": "2.0", "id": None, "error": {
        "code": -32700, "message": "the message is not JSON"}})
    s.notify("exit")
    expect("the status of exit without shutdown", s.finish(), 1)


def check_clean_example(new_session, version):
    s = new_session()
    shutil.copy(os.path.join(ROOT, "examples", "example.qb"), os.path.join(s.folder, "example.qb"))
    text = s.run_qbkit("-d", "example.qb")[1].decode("latin-1")
    s.initialize()
    s.open("example.qbs", text)
    expect("the diagnostics of the bundled example", s.receive(), {
        "jsonrpc": "2.0", "method": "textDocument/publishDiagnostics",
        "params": {"uri": s.uri("example.qbs"), "version": 1, "diagnostics": []}})
    s.request("shutdown")
    s.notify("exit")
    expect("the status after shutdown and exit", s.finish(), 0)


def check_command_line(new_session, version):
    s = new_session("--stdio")
    status, out = s.run_qbkit("--lsp", "--socket=1")
    expect("--lsp with another argument than --stdio", [status, out.startswith(b"Usage: ")], [1, True])
    s.request("initialize")
    s.request("shutdown")
    s.notify("exit")
    expect("the status of --lsp --stdio after shutdown and exit", s.finish(), 0)


def diagnostic_line(name, d):
    """A diagnostic of the server as --check prints it."""
    severity = {1: "error", 2: "warning", 3: "note"}[d["severity"]]
    start = d["range"]["start"]
    code = " [%s]" % d["code"] if "code" in d else ""
    return "%s:%d:%d: %s: %s%s" % (name, start["line"] + 1, start["character"] + 1, severity, d["message"], code)


def check_example_features(new_session, version):
    s = new_session()
    shutil.copy(os.path.join(ROOT, "examples", "example.qb"), os.path.join(s.folder, "example.qb"))
    text = s.run_qbkit("-d", "example.qb")[1].decode("latin-1")
    typo = text.replace("$count$ > ", "$cuont$ > ")
    s.write("example.qbs", typo.encode("latin-1"))
    checked = s.run_qbkit("--check", "example.qbs")[1].decode("latin-1").splitlines()
    s.initialize()
    s.open("example.qbs", typo)
    published = s.receive()["params"]
    expect("the diagnostics of a typo, as --check prints them",
           [diagnostic_line("example.qbs", d) for d in published["diagnostics"]], checked)
    expect("--check's line", checked, ["example.qbs:8:8: error: name 'cuont' is unknown; did you mean 'count'? "
                                       "[unknown-name]"])
    uri = s.uri("example.qbs")
    s.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [{"text": text}]})
    expect("the diagnostics once the typo is mended", s.receive()["params"],
           {"uri": uri, "version": 2, "diagnostics": []})

    def ask(method, line, character, **more):
        params = {"textDocument": {"uri": uri}, "position": {"line": line, "character": character}, **more}
        return s.request(method, params)["result"]

    def span(line, start, end):
        return {"start": {"line": line, "character": start}, "end": {"line": line, "character": end}}

    table = s.uri("example.qb_table.qbi")
    expect("hover on a call of the function", ask("textDocument/hover", 3, 15), {
        "contents": {"kind": "markdown", "value":
                     "`$pause_menu$` checksum `0x262ff1c8`\n\nDeclared in example.qb_table.qbi, line 1:\n\n"
                     "    #addx 0x262ff1c8 \"pause_menu\"\n\nFunction in example.qbs, line 4; its body starts:\n\n"
                     "    :i $title$ = %s(6,\"Paused\")"},
        "range": span(3, 12, 24)})
    expect("definition of the function", ask("textDocument/definition", 3, 15), [{"uri": uri, "range": span(3, 3, 24)}])
    expect("definition of a name that no function has: its declaration", ask("textDocument/definition", 5, 6),
           [{"uri": table, "range": span(1, 0, 24)}])
    expect("the outline", s.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})["result"], [{
        "name": "pause_menu", "kind": 12, "range": {"start": {"line": 3, "character": 3},
                                                    "end": {"line": 31, "character": 14}},
        "selectionRange": span(3, 12, 24)}])
    s.request("shutdown")
    s.notify("exit")
    expect("the status after shutdown and exit", s.finish(), 0)


def check_archive_features(new_session, version):
    """References and definition reach into an archive's member, whose text the server sends:
    the places that --refs prints, and the text that -d writes."""
    s = new_session()
    os.makedirs(os.path.join(s.folder, "scripts", "game"))
    shutil.copy(os.path.join(ROOT, "examples", "example.qb"), os.path.join(s.folder, "scripts", "game", "example.qb"))
    s.run_qbkit("-p", "new", "game.prd")
    s.run_qbkit("-p", "add", "game.prd", "scripts/game/example.qb", "0")
    decompiled = s.run_qbkit("-d", "scripts/game/example.qb")[1].decode("latin-1")
    shutil.rmtree(os.path.join(s.folder, "scripts"))
    mine = "#addx \"pause_menu\"\n:i $pause_menu$\n"
    s.write("mine.qbs", mine.encode("latin-1"))
    refs = s.run_qbkit("--refs", "pause_menu", ".", "game.prd")[1].decode("latin-1").splitlines()
    s.initialize(archives=["game.prd"])
    s.open("mine.qbs", mine)
    uri = s.uri("mine.qbs")
    position = {"textDocument": {"uri": uri}, "position": {"line": 1, "character": 5}}
    member = "qbkit-member:/game.prd/scripts/game/example.qbs"
    expect("definition in the archive", s.request("textDocument/definition", position)["result"],
           [{"uri": member, "range": {"start": {"line": 3, "character": 3}, "end": {"line": 3, "character": 24}}}])
    text = s.request("qbkit/memberText", {"uri": member})["result"]
    expect("the member's text, as -d writes it in the member's folder",
           text.replace("scripts/game/", ""), decompiled.replace("scripts/game/", ""))
    places = s.request("textDocument/references", {**position, "context": {"includeDeclaration": True}})["result"]
    shown = ["%s:%d:%d" % (p["uri"].replace(member, "game.prd!scripts/game/example.qbs").replace(uri, "mine.qbs"),
                           p["range"]["start"]["line"] + 1, p["range"]["start"]["character"] + 1) for p in places]
    expect("--refs finds places in the text and the member", len(refs) > 2, True)
    printed = [r.rsplit(":", 1)[0].replace("\\", "/") for r in refs]
    expect("references, as --refs prints them", shown, [r[2:] if r.startswith("./") else r for r in printed])
    s.request("shutdown")
    s.notify("exit")
    expect("the status after shutdown and exit", s.finish(), 0)


CHECKS = [check_initialize, check_errors, check_clean_example, check_example_features, check_archive_features,
          check_command_line]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    command = qbkit_command(sys.argv[1])
    print("qbkit --lsp run as:", " ".join(command))
    failed = 0
    for check in CHECKS:
        sessions = []

        def new_session(*extra_args):
            sessions.append(Session(command, extra_args))
            return sessions[-1]

        try:
            check(new_session, sys.argv[2])
            print("ok", check.__name__)
        except (AssertionError, queue.Empty, subprocess.TimeoutExpired) as e:
            failed += 1
            print("FAILED", check.__name__, e if str(e) else "(no answer in time)")
        finally:
            for s in sessions:
                s.end()
    print("%d of %d checks passed" % (len(CHECKS) - failed, len(CHECKS)))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
