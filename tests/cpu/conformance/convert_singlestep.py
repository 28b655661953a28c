#!/usr/bin/env python3
"""Packs the SingleStepTests Z80 vectors into the compact files the
conformance test reads (tests/data/singlestep-z80/*.bin.gz).

Usage:
    convert_singlestep.py UPSTREAM_V1_FOLDER OUT_FOLDER [--per-opcode N]

UPSTREAM_V1_FOLDER is the v1/ folder of the SingleStepTests/z80 repository
(one JSON file per opcode). The first N tests of each file are kept (all of
them by default). Python 3 standard library only.

The upstream JSON records much more than the test judges; only these fields
are kept: the registers of "initial" and "final" (a f b c d e h l, af_ bc_
de_ hl_ ix iy sp pc, i r iff1 iff2 im, and the chip's internal state: wz,
the MEMPTR latch; q, the flags the last instruction computed or 0; ei, the
last instruction was EI; p, the last instruction was LD A,I or LD A,R),
both "ram" lists, the number of T-states (the length of "cycles"),
the memory writes in bus order (the "cycles" samples whose pins read "-wm-")
and "ports". Each test's "name" is the opcode's name plus a hex index
("DD CB __ 46 0063"); the index is the test's position in the file, so
only the prefix is kept.

One file per opcode group: unprefixed.bin.gz, cb.bin.gz, ed.bin.gz, dd.bin.gz, fd.bin.gz,
ddcb.bin.gz, fdcb.bin.gz, each gzip-compressed (RFC 1952). Inside, all numbers are
unsigned and little-endian:

    file    := "TSZ80V2\\n" u16 opcodeCount opcode*
    opcode  := u8 len, stem[len]      upstream file name less ".json"
               u8 len, prefix[len]    test name less its index
               u16 vectorCount vector*
    vector  := regs                   initial
               u32 changedMask        bit k: field k of final differs
               value*                 the changed final fields, in field order
               u8 cycles              T-states
               u8 n, (u16 step, u8 value)*n         initial ram; each address is
                                                     the step from the one before,
                                                     the first from the initial pc,
                                                     modulo 65536
               u8 n, u8 value*n                     final ram at the same addresses
                                                     (see below)
               u8 n, (u16 address, u8 value)*n      memory writes in order
               u8 n, (u16 port, u8 value, u8 write)*n   port accesses in order
    regs    := the 25 fields in the order a f b c d e h l af_ bc_ de_ hl_ ix
               iy sp pc i r iff1 iff2 im wz q ei p; af_ to pc and wz are
               u16, the others u8

The final ram of every upstream test names the same addresses as its initial
ram, in the same order; the converter checks this and stops if a file breaks
it, so the final list keeps only the values.

Layout versions: V1 (magic "TSZ80V1\\n") had the first 21 register fields
only; V2 adds wz, q, ei and p at the end of regs.
"""
import argparse
import gzip
import json
import os
import struct
import sys

MAGIC = b"TSZ80V2\n"
FIELDS = [("a", 1), ("f", 1), ("b", 1), ("c", 1), ("d", 1), ("e", 1), ("h", 1), ("l", 1),
          ("af_", 2), ("bc_", 2), ("de_", 2), ("hl_", 2), ("ix", 2), ("iy", 2), ("sp", 2), ("pc", 2),
          ("i", 1), ("r", 1), ("iff1", 1), ("iff2", 1), ("im", 1),
          ("wz", 2), ("q", 1), ("ei", 1), ("p", 1)]
GROUPS = [
    ("unprefixed", lambda s: len(s) == 2),
    ("cb", lambda s: s.startswith("cb ")),
    ("ed", lambda s: s.startswith("ed ")),
    ("dd", lambda s: s.startswith("dd ") and not s.startswith("dd cb")),
    ("fd", lambda s: s.startswith("fd ") and not s.startswith("fd cb")),
    ("ddcb", lambda s: s.startswith("dd cb")),
    ("fdcb", lambda s: s.startswith("fd cb")),
]


def fail(where, what):
    sys.exit(f"{where}: {what}")


def value(n, size):
    return struct.pack("<B" if size == 1 else "<H", n)


def count(n, where):
    if n > 255:
        fail(where, f"{n} entries do not fit the one-byte count")
    return struct.pack("<B", n)


def text(s, where):
    b = s.encode("ascii")
    return count(len(b), where) + b


def pack_vector(t, position, prefix, where):
    out = bytearray()
    name = t["name"]
    head, _, index = name.rpartition(" ")
    if head != prefix or f"{int(index, 16):04X}" != index:
        fail(where, f"test name {name!r} is not {prefix!r} plus a four-digit hex index")
    if int(index, 16) != position:
        fail(where, f"test {name!r} is not the file's test number {position}")
    initial, final = t["initial"], t["final"]
    for key, size in FIELDS:
        out += value(initial[key], size)
    mask, changed = 0, bytearray()
    for k, (key, size) in enumerate(FIELDS):
        if final[key] != initial[key]:
            mask |= 1 << k
            changed += value(final[key], size)
    out += struct.pack("<I", mask) + changed
    cycles = t["cycles"]
    out += count(len(cycles), where)
    ram0, ram1 = initial["ram"], final["ram"]
    if [a for a, _ in ram0] != [a for a, _ in ram1]:
        fail(where, f"{name}: final ram names other addresses than initial ram")
    out += count(len(ram0), where)
    previous = initial["pc"]
    for a, v in ram0:
        out += struct.pack("<HB", (a - previous) & 0xFFFF, v)
        previous = a
    out += count(len(ram1), where)
    for _, v in ram1:
        out += struct.pack("<B", v)
    writes = [c for c in cycles if len(c[2]) >= 3 and c[2][1] == "w" and c[2][2] == "m"]
    out += count(len(writes), where)
    for address, data, _ in writes:
        if address is None or data is None:
            fail(where, f"{name}: a memory write without address or data")
        out += struct.pack("<HB", address, data)
    ports = t.get("ports", [])
    out += count(len(ports), where)
    for port, data, direction in ports:
        if direction not in ("r", "w"):
            fail(where, f"{name}: port direction {direction!r}")
        out += struct.pack("<HBB", port, data, direction == "w")
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description="Packs the SingleStepTests Z80 vectors for the conformance test.")
    parser.add_argument("source", help="the upstream v1/ folder, one JSON file per opcode")
    parser.add_argument("target", help="the folder for the .bin.gz files (tests/data/singlestep-z80)")
    parser.add_argument("--per-opcode", type=int, default=None, metavar="N",
                        help="keep the first N tests of each file (default: all)")
    args = parser.parse_args()
    source, target, per_opcode = args.source, args.target, args.per_opcode
    os.makedirs(target, exist_ok=True)
    stems = sorted(f[:-5] for f in os.listdir(source) if f.endswith(".json"))
    for group, member in GROUPS:
        chosen = [s for s in stems if member(s)]
        body = bytearray(MAGIC + struct.pack("<H", len(chosen)))
        kept = 0
        for stem in chosen:
            where = os.path.join(source, stem + ".json")
            with open(where, encoding="utf-8") as f:
                tests = json.load(f)
            if per_opcode is not None:
                tests = tests[:per_opcode]
            if not tests:
                fail(where, "no tests")
            prefix = tests[0]["name"].rpartition(" ")[0]
            body += text(stem, where) + text(prefix, where) + struct.pack("<H", len(tests))
            for position, t in enumerate(tests):
                body += pack_vector(t, position, prefix, where)
            kept += len(tests)
        path = os.path.join(target, group + ".bin.gz")
        # mtime 0 and no file name in the header: the same input gives the
        # same bytes, so a regenerated file shows no spurious change.
        with open(path, "wb") as f, gzip.GzipFile(filename="", mode="wb", fileobj=f,
                                                 compresslevel=9, mtime=0) as z:
            z.write(body)
        print(f"{path}: {len(chosen)} opcodes, {kept} vectors, {len(body)} bytes, "
              f"{os.path.getsize(path)} compressed")


if __name__ == "__main__":
    main()
