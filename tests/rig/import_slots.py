#!/usr/bin/env python3
"""Checks a Windows exe without running it: every indirect call or jump through
its import section must go through a slot that one of its import descriptors
fills at load time. A slot outside every descriptor holds whatever the linker
put there (zero, for a broken delay-import library) and the call faults.

Usage: import_slots.py OBJDUMP EXE"""
import re
import struct
import subprocess
import sys


def sections(data, pe):
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        name, vsize, rva, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        yield name.rstrip(b"\0").decode(), rva, max(vsize, rawsize), rawptr


def main(objdump, exe):
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    wide = magic == 0x20B
    base = struct.unpack_from("<Q" if wide else "<I", data, pe + 24 + (24 if wide else 28))[0]
    directories = pe + 24 + (112 if wide else 96)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    secs = list(sections(data, pe))

    def offset(rva):
        for _, start, size, raw in secs:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("RVA %#x in no section" % rva)

    home = next((s for s in secs if s[1] <= import_rva < s[1] + s[2]), None)
    if home is None:
        print("%s: no import directory" % exe)
        return 1
    slot_size = 8 if wide else 4
    filled = set()
    desc = offset(import_rva)
    while True:
        first_thunk = struct.unpack_from("<IIIII", data, desc)[4]
        if first_thunk == 0:
            break
        rva = first_thunk
        while struct.unpack_from("<Q" if wide else "<I", data, offset(rva))[0] != 0:
            filled.add(base + rva)
            rva += slot_size
        desc += 20
    low, high = base + home[1], base + home[1] + home[2]

    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", exe], check=True,
                             capture_output=True, text=True).stdout
    # 32-bit: "call *0x473438"; 64-bit: "call *0x1f2e(%rip)  # 0x14004f2e0".
    pattern = re.compile(r"^\s*([0-9a-f]+):\s+(call|jmp)\s+\*(?:0x([0-9a-f]+)$|\S*\(%rip\)\s+# 0x([0-9a-f]+))")
    bad = {}
    count = 0
    for line in listing.splitlines():
        m = pattern.match(line)
        if not m:
            continue
        target = int(m.group(3) or m.group(4), 16)
        if low <= target < high:
            count += 1
            if target not in filled:
                bad.setdefault(target, []).append(m.group(1))
    for target, places in sorted(bad.items()):
        print("%s: %d call(s) through %#x, a slot no import descriptor fills (first at %s)"
              % (exe, len(places), target, places[0]))
    print("%s: %d calls through the import section, %d slots filled, %d unfilled"
          % (exe, count, len(filled), len(bad)))
    return 1 if bad else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
