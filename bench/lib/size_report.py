#!/usr/bin/env python3
"""size_report.py <exe> <payload> <map>: what NuBenSetup.exe weighs without
its payload, and what each part costs, as a Markdown table.

Section sizes come from the PE headers; who fills .text, .rdata, .data and
.eh_frame comes from the linker map (-Wl,-Map), grouped by origin.
"""
import collections
import os
import re
import struct
import sys

GROUPS = [
    ("Our code: logic, Win32 layer, entry point", re.compile(r"libnuben_|objects\.a\((winmain|throw_hooks)")),
    ("C++ strings and standard errors (libstdc++)",
     re.compile(r"libstdc\+\+\.a\((.*string|.*stdexcept|functexcept|random|snprintf_lite)")),
    ("C++ exception support (libstdc++: throw, catch, type info)", re.compile(r"libstdc\+\+\.a|libsupc\+\+")),
    ("DWARF unwinder (libgcc_eh)", re.compile(r"libgcc_eh\.a")),
    ("Threads (winpthread)", re.compile(r"libpthread|libwinpthread")),
    ("C runtime start-up and helpers (mingw-w64, libgcc)", re.compile(r"crt2|crtbegin|crtend|libmingw|libgcc\.a|libmsvcrt|libmoldname")),
]
CONTENT_SECTIONS = (".text", ".rdata", ".data", ".eh_frame", ".CRT", ".tls")


def sections(exe):
    with open(exe, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
    table = pe + 24 + opt_size
    result = collections.OrderedDict()
    for i in range(count):
        name, vsize, _, raw, _ = struct.unpack_from("<8sIIII", data, table + 40 * i)
        result[name.rstrip(b"\0").decode()] = (vsize, raw)
    return headers, result


def map_contributions(path):
    lines = open(path, errors="replace").read().split("\n")
    start = next(i for i, l in enumerate(lines) if l.startswith("Linker script and memory map"))
    section = None
    pending = None
    sizes = collections.Counter()
    for line in lines[start:]:
        m = re.match(r"^(\.\S+)\s", line)
        if m and not line.startswith(" "):
            section = m.group(1)
        m = re.match(r"^ (\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m:
            if section in CONTENT_SECTIONS:
                sizes[m.group(3)] += int(m.group(2), 16)
            pending = None
            continue
        m = re.match(r"^ (\S+)$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m and pending:
            if section in CONTENT_SECTIONS:
                sizes[m.group(2)] += int(m.group(1), 16)
            pending = None
    return sizes


def main(exe, payload, map_path):
    total = os.path.getsize(exe)
    payload_size = os.path.getsize(payload)
    headers, secs = sections(exe)
    groups = collections.Counter()
    objects = collections.Counter()
    for origin, size in map_contributions(map_path).items():
        name = re.sub(r".*/", "", origin)
        objects[name] += size
        for label, pattern in GROUPS:
            if pattern.search(origin):
                groups[label] += size
                break
        else:
            groups["Other"] += size
    rows = [(label, groups[label]) for label, _ in GROUPS if groups[label]]
    if groups["Other"]:
        rows.append(("Other", groups["Other"]))
    own_resources = secs.get(".rsrc", (0, 0))[0] - payload_size
    rows.append(("Import table (.idata)", secs.get(".idata", (0, 0))[0]))
    rows.append(("Resources without the payload: icon, version record, manifest", own_resources))
    rows.append(("Relocations (.reloc, for ASLR)", secs.get(".reloc", (0, 0))[0]))
    accounted = sum(size for _, size in rows)
    rows.append(("Headers and alignment padding", total - payload_size - accounted))
    print("| Part of NuBenSetup.exe (payload excluded) | Bytes |")
    print("|---|---:|")
    for label, size in rows:
        print("| %s | %s |" % (label, format(size, ",")))
    print("| **Total: exe %s − payload %s** | **%s** |" % (
        format(total, ","), format(payload_size, ","), format(total - payload_size, ",")))
    print()
    print("Largest single objects: " + ", ".join(
        "%s %s" % (name, format(size, ",")) for name, size in objects.most_common(8)) + ".")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
