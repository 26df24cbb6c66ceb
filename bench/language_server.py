#!/usr/bin/env python3
"""The language server's answers timed as an editor waits for them.

usage: language_server.py QBKIT DATA [RUNS]

DATA is the folder that make_bench_data wrote. In DATA/language-server/ this makes a
workspace that holds the text of large.qb (about 600 KB, the largest script the game could
hold) with its table file, and packs the 210 script-shaped members of DATA/profile/members.txt
(scripts that decompile, as the game's do) into an archive.
Then it starts `QBKIT --lsp` twice, without and with that archive in qbkit.archives, opens the
text, and times each request from the moment it is written to the moment its answer is read:
the median and the slowest of RUNS requests (default 21, after one warm-up). With the archive,
a call of a function that the archive defines and the workspace does not is added to the
text, and hover, definition and references ask about that name (or a more used one that the
archive defines), so that the definition is found among the archive's members and the
references in all of them.
"""
import collections
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
import urllib.parse


class Server:
    """`qbkit --lsp` on a workspace folder, spoken to as an editor does."""

    def __init__(self, qbkit, folder, archives):
        self.process = subprocess.Popen([qbkit, "--lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.next_id = 0
        self.request("initialize", {"processId": None, "rootUri": uri_of(folder), "capabilities": {},
                                    "initializationOptions": {"archives": archives}})
        start = time.perf_counter()
        self.notify("initialized", {})
        self.request("qbkit/memberText", {"uri": ""})  # answered once the indexing is done
        self.indexing = (time.perf_counter() - start) * 1000

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
                return message.get("result")

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def diagnostics(self, uri):
        while True:
            message = self.receive()
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]

    def finish(self):
        self.request("shutdown", {})
        self.notify("exit", {})
        self.process.wait()


def uri_of(path):
    return "file://" + urllib.parse.quote(os.path.abspath(path))


def place_of(text, offset):
    return {"line": text.count("\n", 0, offset), "character": offset - (text.rfind("\n", 0, offset) + 1)}


def timed(runs, step):
    step()
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        step()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), max(times)


def make_inputs(qbkit, data):
    """The workspace with the text of large.qb, and the archive of the 210 members."""
    folder = os.path.join(data, "language-server")
    workspace = os.path.join(folder, "workspace")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(workspace)
    shutil.copy(os.path.join(data, "large.qb"), workspace)
    with open(os.path.join(workspace, "large.qbs"), "wb") as out:
        subprocess.run([qbkit, "-d", "large.qb"], cwd=workspace, stdout=out, check=True)
    os.remove(os.path.join(workspace, "large.qb"))
    archive = os.path.abspath(os.path.join(folder, "scripts.prd"))
    subprocess.run([qbkit, "-p", "pack", archive, "members.txt"], cwd=os.path.join(data, "profile"),
                   stdout=subprocess.DEVNULL, check=True)
    return workspace, os.path.join(workspace, "large.qbs"), archive


def run(qbkit, workspace, script, archives, runs):
    with open(script, "rb") as f:
        text = f.read().decode("latin-1")
    server = Server(qbkit, workspace, archives)
    if archives:
        # A call of the first function of the archive's first member, which the workspace
        # does not define: its definition is found among the members.
        member = "qbkit-member:/%s/scripts/game/script0.qbs" % os.path.basename(archives[0])
        called = re.search(r"function \$([^$\n]+)\$", server.request("qbkit/memberText", {"uri": member})).group(1)
        end = text.rfind(":i :end")
        end = len(text) if end < 0 else end
        text = text[:end] + ":i $%s$\n" % called + text[end:]
    uri = uri_of(script)
    server.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "qbscript", "version": 1,
                                                            "text": text}})
    server.diagnostics(uri)
    document = {"uri": uri}
    names = [(m.start(), m.group(1)) for m in re.finditer(r"\$([^$\n]+)\$", text)]
    counts = collections.Counter(name for _, name in names)
    # The most used name that a function of an archive defines, else the most used name.
    target = place_of(text, names[0][0] + 1)
    for name, _ in counts.most_common() + ([(called, 1)] if archives else []):
        at = place_of(text, next(offset for offset, n in names if n == name) + 1)
        found = server.request("textDocument/definition", {"textDocument": document, "position": at})
        if not archives or any(not place["uri"].startswith("file:") for place in found):
            target = at
            break
    version = [1]

    def change():
        version[0] += 1
        server.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version[0]},
                                                 "contentChanges": [{"text": text}]})
        server.diagnostics(uri)

    asked = {"textDocument": document, "position": target}
    steps = [
        ("hover", lambda: server.request("textDocument/hover", asked)),
        ("definition", lambda: server.request("textDocument/definition", asked)),
        ("references", lambda: server.request("textDocument/references",
                                              {**asked, "context": {"includeDeclaration": True}})),
    ]
    if not archives:
        steps += [
            ("diagnostics after a change", change),
            ("document symbols", lambda: server.request("textDocument/documentSymbol", {"textDocument": document})),
            ("completion", lambda: server.request("textDocument/completion", asked)),
        ]
    print("language server, %s (%d KB)%s: median and slowest of %d requests"
          % (os.path.basename(script), len(text) // 1024,
             ", with a %d-member archive" % 210 if archives else "", runs))
    print("  %-28s %8.2f ms" % ("indexing at initialized", server.indexing))
    for name, step in steps:
        median, slowest = timed(runs, step)
        print("  %-28s %8.2f ms  (slowest %.2f ms)" % (name, median, slowest))
    server.finish()


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    qbkit, data = os.path.abspath(sys.argv[1]), sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) == 4 else 21
    workspace, script, archive = make_inputs(qbkit, data)
    run(qbkit, workspace, script, [], runs)
    run(qbkit, workspace, script, [archive], runs)


if __name__ == "__main__":
    main()
