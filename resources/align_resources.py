#!/usr/bin/env python3
"""align_resources.py <exe>: moves the resource section of a linked PE file
to a file offset that is a multiple of 4096, in place.

Why: the payload lives in .rsrc. A loader that maps sections straight from
the file (Wine does, with mmap) can do so only for a section whose file
offset is page-aligned; otherwise it reads the whole section into private
memory when the program starts: 256 MiB of payload then cost 256 MiB of
memory and a second pass over the bytes before the first instruction runs.
Linking with a 4096-byte file alignment would pad every section (23 KB);
this pads only the gap before .rsrc (at most 3.5 KB).

The sections' addresses in memory do not change, only where .rsrc and the
sections after it start in the file. Files whose layout this cannot keep
(a symbol table, a debug directory or a signature) are refused, unchanged.
"""
import os
import struct
import sys

PAGE = 4096


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("align_resources.py: %s is not a PE file" % path)
    count = struct.unpack_from("<H", data, pe + 6)[0]
    symbols = struct.unpack_from("<I", data, pe + 12)[0]
    opt = pe + 24
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    if struct.unpack_from("<H", data, opt)[0] != 0x10B:
        sys.exit("align_resources.py: %s is not PE32" % path)
    directories = opt + 96
    security = struct.unpack_from("<II", data, directories + 4 * 8)
    debug = struct.unpack_from("<II", data, directories + 6 * 8)
    if symbols or security[1] or debug[1]:
        sys.exit("align_resources.py: %s has a symbol table, signature or debug data" % path)
    table = opt + opt_size
    headers = []
    rsrc = None
    for i in range(count):
        at = table + 40 * i
        name = data[at:at + 8].rstrip(b"\0")
        raw_size, raw_pointer = struct.unpack_from("<II", data, at + 16)
        headers.append((at, raw_size, raw_pointer))
        if name == b".rsrc":
            rsrc = raw_pointer
    if rsrc is None:
        return 0
    pad = -rsrc % PAGE
    if pad == 0:
        return 0
    out = bytearray(data[:rsrc])
    for at, raw_size, raw_pointer in headers:
        if raw_size and raw_pointer >= rsrc:
            struct.pack_into("<I", out, at + 20, raw_pointer + pad)
    out += bytes(pad)
    out += data[rsrc:]
    temporary = path + ".aligning"
    with open(temporary, "wb") as f:
        f.write(out)
    os.chmod(temporary, os.stat(path).st_mode)
    os.replace(temporary, path)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
