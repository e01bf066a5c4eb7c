#!/usr/bin/env python3
"""Writes the committed seed corpus of the fuzz targets (corpus/<target>/).
Run it again after a change of an input layout; the files are small."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def wide(text):
    return text.encode("utf-16-le")


def record(type_code=1, channel=b"TO.PARIS", conname=b"paris.example", flag=b"Y", counts=None, fill=0):
    r = bytearray([fill] * 2040)
    if fill == 0:
        r[1632:1652] = channel.ljust(20, b" ")[:20]
        r[1028:1028 + len(conname) + 1] = conname + b"\0"
    struct.pack_into("<I", r, 28, type_code)
    r[1924:1925] = flag
    for offset, value in (counts or {}).items():
        struct.pack_into("<I", r, offset, value)
    return bytes(r)


COUNTS = {1964: 11, 1968: 2200, 1972: 33, 1976: 4, 1984: 5, 1988: 6, 1992: 7, 1996: 8, 1928: 9, 308: 10,
          1940: 12, 1944: 13}
HUGE = {o: 0xFFFFFFFF for o in COUNTS}
ENDLESS = bytes([0x41]) * 2040  # no terminator and no blank anywhere


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


for name, text in [("global", "Global"), ("foreign", "Foreign"), ("costly", "Costly"), ("items", "228 230"),
                   ("foreign_global", "Foreign Global"), ("costly_global", "Costly Global"), ("empty", "")]:
    write("perfquery_type", name, wide(text))

for name, number, text in [("listed", 230, "228 230"), ("absent", 232, "230"), ("letter_first", 230, "x 230"),
                           ("minus_one", 0xFFFFFFFF, "-1"), ("signs_tabs", 7, " +7\t8"),
                           ("trailing_blanks", 230, "230      "), ("too_long", 1, "99999999999 1"),
                           ("unsigned_top", 0xFFFFFFFF, "4294967295")]:
    write("number_in_list", name, struct.pack("<I", number) + wide(text))

normal = record(counts=COUNTS)
write("chlnames", "one_sender", bytes([0, 0, 0, 0]) + normal)
write("chlnames", "no_terminators", bytes([0, 0, 0, 0]) + ENDLESS)
write("chlnames", "types_0_5_7", bytes([2, 0, 0, 0]) + record(0) + record(5) + record(7))
write("chlnames", "long_names", bytes([1, 0, 0, 0]) + record(4, b"A" * 20, b"c" * 264) + record(6, b"X Y", b""))
write("chlnames", "twenty_some_fail", bytes([19, 0x55, 0x05, 0x08]) + normal + record(3, counts=HUGE))

header = lambda channels, flags=0, room=8, fail=0, code=0, t1=1000, t2=2000: (
    bytes([channels, flags, room, fail]) + struct.pack("<III", code, t1, t2))
write("collect", "one_channel", header(1) + normal + record(counts={1964: 21, 1968: 4400, 1972: 66}))
write("collect", "placeholder", header(0))
write("collect", "twenty_traced", header(20, flags=1) + normal + record(3, counts=HUGE, flag=b"N"))
write("collect", "one_byte_short", header(3, room=7) + normal)
write("collect", "handle_changed", header(3, fail=0x81) + normal)
write("collect", "query_fails", header(5, flags=2, fail=0x80, code=0x20800123) + normal)
write("collect", "ticks_wrap", header(2, flags=4, t1=4294967000, t2=704) + ENDLESS)
write("collect", "counts_fall", header(2, flags=6) + record(counts=HUGE) + record(counts={1968: 9}))
write("collect", "tiny_buffer", header(4, room=0xC1) + normal)
