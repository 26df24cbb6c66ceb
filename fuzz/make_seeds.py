#!/usr/bin/env python3
"""Writes seed corpora for the fuzz targets, made from the inputs the tests use.

usage: make_seeds.py QBKIT_BINARY OUTPUT_DIR

For each fuzz target a directory OUTPUT_DIR/<target> is filled with a few seeds: the bundled
example QB file, its decompiled text, archives made from it by qbkit itself, compressed
streams, and the small hand-made inputs of the unit tests.
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write(dirpath, name, data):
    os.makedirs(dirpath, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(dirpath, name), "wb") as f:
        f.write(data)


def run(binary, args, cwd):
    return subprocess.run([binary] + args, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=False).stdout


def main():
    binary, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with open(os.path.join(ROOT, "examples", "example.qb"), "rb") as f:
        example = f.read()

    work = tempfile.mkdtemp(prefix="qbkit-seeds-")
    try:
        shutil.copy(os.path.join(ROOT, "examples", "example.qb"), os.path.join(work, "ex.qb"))
        text = run(binary, ["-d", "ex.qb"], work)
        with open(os.path.join(work, "ex.qb_table.qbi"), "rb") as f:
            table = f.read()
        run(binary, ["-p", "new", "a.prd"], work)
        run(binary, ["-p", "add", "a.prd", "ex.qb", "0"], work)
        run(binary, ["-p", "addx", "a.prd", "ex.qb", "0"], work)
        with open(os.path.join(work, "a.prd"), "rb") as f:
            archive = f.read()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    # decompile: QB streams, including the unit tests' small cases.
    d = os.path.join(out, "decompile")
    write(d, "example", example)
    write(d, "end", b"\x00")
    write(d, "linebreaks", b"\x01\x01\x16\x01\x02\x03\x04\x16\x05\x06\x07\x08\x01\x00")
    write(d, "randomrange", b"\x07\x30\x1f\x00\x00\xa0\x40\x00\x00\x20\x41\x01")
    write(d, "select", b"\x2f\x01\x00\x00\x00\x01\x00\x00\x00\x00\x00\x01\x00")
    write(d, "thug1switch", b"\x3c\x16\x01\x00\x00\x00\x01\x3e\x01\x3f\x01\x3d\x00")

    # decompile_paths: the same streams, and floats that need more decimals than six.
    p = os.path.join(out, "decompile_paths")
    for name in os.listdir(d):
        with open(os.path.join(d, name), "rb") as f:
            write(p, name, f.read())
    write(p, "floats", b"\x1e\xab\xaa\xaa\x3f\xdb\x0f\x49\x40\x01\x00\x00\x00\x1a\x00\x00\x00\x3c\x00")

    # compile: script texts (the include line points at a table the target provides).
    c = os.path.join(out, "compile")
    write(c, "example", table + text)
    write(c, "if", b"if :i else :i endif")
    write(c, "switch", b"switch :i case :i endcase default :i end_switch")
    write(c, "fixups", b":POS(0) :BREAKTO(0) :u(02:0000000a) select(2f,0,) :end")
    write(c, "values", b"#addx 0x00000001 \"a b\"\n$a b$ %i(-1,0) %f(1.5) %vec2(.5,-.5) %s(0,\"x\") %GLOBAL%")
    write(c, "names", b"#addx \"New Name\"\n#addx \"Caf\xc3\xa9\"\n$new name$ $NEW NAME$ %s(0,\"\xef\xbf\xbd\")")

    # roundtrip: the generator turns any bytes into a stream; a few varied seeds.
    r = os.path.join(out, "roundtrip")
    write(r, "example", example)
    write(r, "counting", bytes(range(256)))

    # archive: archives qbkit wrote.
    a = os.path.join(out, "archive")
    write(a, "example", archive)
    write(a, "empty", b"\x0c\x00\x00\x00\x03\x00\xcd\xab\x00\x00\x00\x00")

    # lzss_decode: 4 bytes of wanted size, then a stream.
    z = os.path.join(out, "lzss_decode")
    write(z, "spaces", b"\x03\x00\x00\x00\xfe\xed\xf0")
    write(z, "literals", b"\x09\x00\x00\x00\xff" + b"abcdefgh" + b"\x01i")
    write(z, "archive", archive)

    # script_text: a QB file, script text, and a stream of the other layout.
    s = os.path.join(out, "script_text")
    write(s, "example", example)
    write(s, "text", text)
    write(s, "thug1switch", b"\x3c\x16\x01\x00\x00\x00\x01\x3e\x01\x3f\x01\x3d\x00")

    for target in ("lzss_roundtrip", "lzss_identical"):
        t = os.path.join(out, target)
        write(t, "example", example)
        write(t, "text", text)
        write(t, "run", b"A" * 40 + b"B" * 18)


if __name__ == "__main__":
    main()
