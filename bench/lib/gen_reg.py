#!/usr/bin/env python3
"""gen_reg.py <out.reg> <key>: the registry tree that key removal is timed on.

Writes a REGEDIT4 file that creates <key> (a full path such as
HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\NuBenBench\\Tree) with five levels
below it, fanning out 4, 5, 5, 6 and 7 ways: 4,924 keys, 4,925 with <key>
itself. Every key holds a text and a number value. Prints the key count.
"""
import sys

FANOUT = (4, 5, 5, 6, 7)


def main(out, top):
    lines = ["REGEDIT4", ""]
    count = 0

    def emit(path, depth):
        nonlocal count
        lines.append("[%s]" % path)
        lines.append('"Name"="entry %d"' % count)
        lines.append('"Count"=dword:%08x' % count)
        lines.append("")
        count += 1
        if depth < len(FANOUT):
            for i in range(FANOUT[depth]):
                emit("%s\\Level%d_%d" % (path, depth + 1, i), depth + 1)

    emit(top, 0)
    with open(out, "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    print(count)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
