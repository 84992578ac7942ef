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


class Pe:
    """The parts of a PE32 file's headers that this script and the release
    checks read: the data directories, the symbol table pointer and
    every section header as (header offset, name, virtual address, virtual
    size, raw size, raw pointer)."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        count = struct.unpack_from("<H", data, pe + 6)[0]
        self.symbols = struct.unpack_from("<I", data, pe + 12)[0]
        opt = pe + 24
        opt_size = struct.unpack_from("<H", data, pe + 20)[0]
        if struct.unpack_from("<H", data, opt)[0] != 0x10B:
            raise ValueError("not PE32")
        self.directories = opt + 96
        table = opt + opt_size
        self.sections = []
        for i in range(count):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0")
            virtual_size, address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((at, name, address, virtual_size, raw_size, raw_pointer))

    def directory(self, index):
        """(RVA, size) of data directory <index>."""
        return struct.unpack_from("<II", self.data, self.directories + 8 * index)

    def file_offset(self, rva):
        """Where the byte at <rva> lies in the file; None outside every section."""
        for _, _, address, virtual_size, raw_size, raw_pointer in self.sections:
            if address <= rva < address + min(virtual_size, raw_size):
                return raw_pointer + rva - address
        return None


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        pe = Pe(data)
    except ValueError as e:
        sys.exit("align_resources.py: %s is %s" % (path, e))
    security = pe.directory(4)
    debug = pe.directory(6)
    if pe.symbols or security[1] or debug[1]:
        sys.exit("align_resources.py: %s has a symbol table, signature or debug data" % path)
    headers = [(at, raw_size, raw_pointer) for at, _, _, _, raw_size, raw_pointer in pe.sections]
    rsrc = next((raw_pointer for _, name, _, _, _, raw_pointer in pe.sections if name == b".rsrc"), None)
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
