#!/usr/bin/env python3
"""The language server's answers timed as an editor waits for them.

usage: language_server.py QBKIT WORKSPACE SCRIPT [ARCHIVE...] [--runs N]

Starts `QBKIT --lsp` on the folder WORKSPACE, with the archives given as qbkit.archives,
opens SCRIPT (a file of the workspace) and times each request from the moment it is written
to the moment its answer is read: the median and the slowest of RUNS requests (default 21,
after one warm-up), and the time from `initialized` to the first answer (the indexing). Each
request asks about a place in SCRIPT, chosen as below, so that hover, definition and
references find what they look for:

- hover and definition: the first name of the last function that SCRIPT calls and does not
  define (in an archive when the workspace has no definition of it), else its first call;
- references: the name used most often in SCRIPT;
- diagnostics: the time from a change of the whole text to its diagnostics.
"""
import collections
import json
import os
import re
import statistics
import subprocess
import sys
import time
import urllib.parse


class Server:
    def __init__(self, command):
        self.process = subprocess.Popen(command + ["--lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.next_id = 0

    def send(self, message):
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def receive(self):
        length = None
        while True:
            line = self.process.stdout.readline()
            if not line:
                sys.exit("the server ended")
            line = line.strip()
            if not line:
                break
            name, _, value = line.partition(b":")
            if name.lower() == b"content-length":
                length = int(value)
        return json.loads(self.process.stdout.read(length))

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        while True:
            message = self.receive()
            if message.get("id") == self.next_id and "method" not in message:
                return message

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def diagnostics(self, uri):
        while True:
            message = self.receive()
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]


def uri_of(path):
    return "file://" + urllib.parse.quote(os.path.abspath(path))


def place_of(text, offset):
    line = text.count("\n", 0, offset)
    return {"line": line, "character": offset - (text.rfind("\n", 0, offset) + 1)}


def chosen_places(text):
    """The places that the requests ask about (see the module's help)."""
    names = [(m.start(), m.group(1)) for m in re.finditer(r"\$([^$\n]+)\$", text)]
    defined = {m.group(1).lower() for m in re.finditer(r"function \$([^$\n]+)\$", text)}
    called = [(at, name) for at, name in names if name.lower() not in defined]
    target = called[-1] if called else names[0]
    common = collections.Counter(name for _, name in names).most_common(1)[0][0]
    used = next(at for at, name in names if name == common)
    return place_of(text, target[0] + 1), place_of(text, used + 1)


def timed(runs, step):
    step()
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        step()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), max(times)


def main():
    args = sys.argv[1:]
    runs = 21
    if "--runs" in args:
        at = args.index("--runs")
        runs = int(args[at + 1])
        del args[at:at + 2]
    if len(args) < 3:
        sys.exit(__doc__)
    qbkit, workspace, script, archives = args[0], args[1], args[2], [os.path.abspath(a) for a in args[3:]]
    with open(script, "rb") as f:
        text = f.read().decode("latin-1")
    uri = uri_of(script)
    server = Server([qbkit])
    server.request("initialize", {"processId": None, "rootUri": uri_of(workspace), "capabilities": {},
                                  "initializationOptions": {"archives": archives}})
    start = time.perf_counter()
    server.notify("initialized", {})
    server.request("shutdown-probe", {})  # answered (unknown method) once the indexing is done
    indexing = (time.perf_counter() - start) * 1000
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "qbscript", "version": 1,
                                                            "text": text}})
    server.diagnostics(uri)
    target, common = chosen_places(text)
    document = {"uri": uri}
    version = [1]

    def change():
        version[0] += 1
        server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version[0]},
                                                 "contentChanges": [{"text": text}]})
        server.diagnostics(uri)

    steps = [
        ("diagnostics after a change", change),
        ("hover", lambda: server.request("textDocument/hover", {"textDocument": document, "position": target})),
        ("definition", lambda: server.request("textDocument/definition",
                                              {"textDocument": document, "position": target})),
        ("references", lambda: server.request("textDocument/references", {
            "textDocument": document, "position": common, "context": {"includeDeclaration": True}})),
        ("document symbols", lambda: server.request("textDocument/documentSymbol", {"textDocument": document})),
        ("completion", lambda: server.request("textDocument/completion",
                                              {"textDocument": document, "position": target})),
    ]
    print("language server on %s (%d KB), %d archive(s); median and slowest of %d requests:"
          % (os.path.basename(script), len(text) // 1024, len(archives), runs))
    print("  %-28s %8.1f ms" % ("indexing (initialized)", indexing))
    for name, step in steps:
        median, slowest = timed(runs, step)
        print("  %-28s %8.1f ms  (slowest %.1f ms)" % (name, median, slowest))
    server.request("shutdown", {})
    server.notify("exit", {})
    server.process.wait()


if __name__ == "__main__":
    main()
