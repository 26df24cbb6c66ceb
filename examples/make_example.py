#!/usr/bin/env python3
"""Writes example.qb: a small pause-menu script with names, an if/else, a switch and a loop
with a jump out of it, laid out as the compiler lays it out (structured offsets
included), so that decompiling and compiling it again gives the same bytes.

Run from this directory: python3 make_example.py
"""
import struct
import zlib

# Token bytes used below.
END, LINE, EQUALS, MINUS, LESS, GREATER = 0x00, 0x01, 0x07, 0x0A, 0x12, 0x14
NAME, INTEGER, FLOAT, STRING, VEC3, VEC2 = 0x16, 0x17, 0x1A, 0x1B, 0x1E, 0x1F
WHILE, LOOP_TO, FUNCTION, END_FUNCTION, END_IF, RETURN = 0x20, 0x21, 0x23, 0x24, 0x28, 0x29
NAME_RECORD, BREAK_TO, RANDOM_RANGE = 0x2B, 0x2E, 0x30
SWITCH, END_SWITCH, CASE, DEFAULT, IF, ELSE, END_CASE = 0x3C, 0x3D, 0x3E, 0x3F, 0x47, 0x48, 0x49


def game_checksum(name):
    """The game's checksum of a name: the CRC-32 of the name with A-Z lowered and '/' read as
    '\\', started at 0xFFFFFFFF and not inverted at the end (the complement of zlib's)."""
    folded = bytes(b + 0x20 if 0x41 <= b <= 0x5A else 0x5C if b == 0x2F else b for b in name.encode("latin-1"))
    return ~zlib.crc32(folded) & 0xFFFFFFFF


NAMES = {n: game_checksum(n) for n in ("pause_menu", "count", "speed", "title", "spin")}


class Stream:
    def __init__(self):
        self.data = bytearray()

    def op(self, *bs):
        self.data += bytes(bs)

    def name(self, n):
        self.data += bytes([NAME]) + struct.pack("<I", NAMES[n])

    def integer(self, v):
        self.data += bytes([INTEGER]) + struct.pack("<i", v)

    def float(self, v):
        self.data += bytes([FLOAT]) + struct.pack("<f", v)

    def string(self, text):
        body = text.encode() + b"\0"
        self.data += bytes([STRING]) + struct.pack("<I", len(body)) + body

    def hole(self):
        """Two offset bytes to fill in later; returns their position."""
        self.data += b"\0\0"
        return len(self.data) - 2

    def fill_short(self, at, value):
        self.data[at:at + 2] = struct.pack("<H", value)

    def pos(self):
        return len(self.data)


s = Stream()
s.op(LINE, FUNCTION); s.name("pause_menu")
s.op(LINE); s.name("title"); s.op(EQUALS); s.string("Paused")
s.op(LINE); s.name("count"); s.op(EQUALS); s.integer(3)
s.op(LINE); s.name("spin"); s.op(EQUALS, RANDOM_RANGE, VEC2)
s.data += struct.pack("<ff", 5.0, 10.0)

# if / else / endif: the if offset leads past the else's offset, the else offset past endif.
s.op(LINE, IF); p = s.hole(); s.name("count"); s.op(GREATER); s.integer(2)
s.op(LINE); s.name("speed"); s.op(EQUALS); s.float(1.5)
s.op(LINE, ELSE); q = s.hole(); s.fill_short(p, s.pos() - p)
s.op(LINE); s.name("speed"); s.op(EQUALS); s.float(0.25)
s.op(LINE); s.fill_short(q, s.pos() - q + 1); s.op(END_IF)

# switch: each case offset leads past the next endcase's offset, the last to end_switch,
# every endcase offset past end_switch. The next branch follows its endcase directly.
s.op(LINE, SWITCH); s.name("count")
s.op(LINE, CASE, END_CASE); p = s.hole(); s.integer(1)
s.op(LINE); s.name("speed"); s.op(EQUALS, VEC3)
s.data += struct.pack("<fff", 1.0, 0.5, -2.0)
s.op(LINE, END_CASE); b = s.hole(); s.fill_short(p, s.pos() - p)
s.op(DEFAULT, END_CASE); p = s.hole()
s.op(LINE); s.name("title"); s.op(EQUALS); s.string("Paused")
s.op(LINE, END_SWITCH); s.fill_short(p, s.pos() - p - 1); s.fill_short(b, s.pos() - b)

# A loop left by a jump to the return after it.
s.op(LINE, WHILE)
s.op(LINE); s.name("count"); s.op(EQUALS); s.name("count"); s.op(MINUS); s.integer(1)
s.op(LINE, IF); p = s.hole(); s.name("count"); s.op(LESS); s.integer(1)
s.op(LINE, BREAK_TO); jump = s.pos(); s.data += b"\0\0\0\0"
s.op(LINE); s.fill_short(p, s.pos() - p + 1); s.op(END_IF)
s.op(LINE, LOOP_TO)
s.op(LINE); target = s.pos(); s.op(RETURN)
s.data[jump:jump + 4] = struct.pack("<i", target - (jump + 4))
s.op(LINE, END_FUNCTION)
s.op(LINE)

for n, checksum in NAMES.items():
    s.data += bytes([NAME_RECORD]) + struct.pack("<I", checksum) + n.encode() + b"\0"
s.op(END)

with open("example.qb", "wb") as f:
    f.write(s.data)
