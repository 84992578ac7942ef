#!/usr/bin/env python3
"""Payloads for the benchmark's bootstrappers.

    payloads.py tiny <out>                  a 1,024-byte program that ends at once
    payloads.py junk <out>                  1,024 zero bytes: no program at all
    payloads.py pad <program> <size> <out>  <program> followed by zeros up to <size>

The tiny program is written byte by byte: one header, one section holding
"xor eax, eax; ret 4", no imports, so that it is a complete Win32 program
in exactly 1 KiB. Padding goes after the program's last section, where the
loader never looks, so the padded file still starts and stamps like the
program itself.
"""
import os
import struct
import sys

FILE_ALIGNMENT = 0x200
SECTION_ALIGNMENT = 0x1000


def tiny_program():
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)  # e_lfanew
    file_header = struct.pack(
        "<4sHHIIIHH", b"PE\0\0",
        0x014C,  # IMAGE_FILE_MACHINE_I386
        1, 0, 0, 0,  # one section, no timestamp, no symbols
        0xE0,  # sizeof(IMAGE_OPTIONAL_HEADER32)
        0x0103)  # RELOCS_STRIPPED | EXECUTABLE_IMAGE | 32BIT_MACHINE
    optional = struct.pack(
        "<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
        0x010B, 0, 0,  # PE32
        FILE_ALIGNMENT, 0, 0,  # code, initialised, uninitialised sizes
        0x1000, 0x1000, 0x1000,  # entry point, base of code, base of data
        0x400000, SECTION_ALIGNMENT, FILE_ALIGNMENT,
        4, 0, 0, 0, 4, 0,  # OS, image, subsystem versions
        0,  # Win32VersionValue
        0x2000, FILE_ALIGNMENT, 0,  # SizeOfImage, SizeOfHeaders, CheckSum
        2, 0,  # IMAGE_SUBSYSTEM_WINDOWS_GUI, no DLL characteristics
        0x100000, 0x1000, 0x100000, 0x1000,  # stack and heap reserve/commit
        0, 16)  # loader flags, 16 (empty) data directories
    optional += bytes(16 * 8)
    section = struct.pack("<8sIIIIIIHHI", b".text", 5, 0x1000, FILE_ALIGNMENT, FILE_ALIGNMENT,
                          0, 0, 0, 0, 0x60000020)  # CODE | EXECUTE | READ
    headers = bytes(dos) + file_header + optional + section
    assert len(headers) <= FILE_ALIGNMENT
    code = bytes([0x31, 0xC0, 0xC2, 0x04, 0x00])  # xor eax, eax; ret 4
    image = headers.ljust(FILE_ALIGNMENT, b"\0") + code.ljust(FILE_ALIGNMENT, b"\0")
    assert len(image) == 1024
    return image


def main(argv):
    if len(argv) == 3 and argv[1] == "tiny":
        with open(argv[2], "wb") as out:
            out.write(tiny_program())
        return 0
    if len(argv) == 3 and argv[1] == "junk":
        with open(argv[2], "wb") as out:
            out.write(bytes(1024))
        return 0
    if len(argv) == 5 and argv[1] == "pad":
        size = int(argv[3])
        with open(argv[2], "rb") as program:
            data = program.read()
        if len(data) > size:
            sys.exit(f"payloads.py: {argv[2]} is larger than {size} bytes")
        with open(argv[4], "wb") as out:
            out.write(data)
            out.truncate(size)  # zeros, without writing them one by one
        return 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
