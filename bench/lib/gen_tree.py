#!/usr/bin/env python3
"""gen_tree.py <root> <files>: the folder tree that folder removal is timed on.

<files> files, 20 to a folder, in folders grouped 50 to a parent folder
under <root>. Made from the host side (much faster than from an emulated
Windows program) with the attributes Wine reads: read-only as a missing
write bit, hidden and system in the "user.DOSATTRIB" extended attribute.
Every tenth file is read-only, hidden, system or all three in turn; every
tenth folder is hidden and system. Prints "files folders".
"""
import os
import shutil
import sys

FILES_PER_FOLDER = 20
FOLDERS_PER_GROUP = 50
HIDDEN = 0x2
SYSTEM = 0x4


def dos_attributes(path, attributes):
    os.setxattr(path, "user.DOSATTRIB", b"0x%x" % attributes)


def main(root, files):
    if os.path.exists(root):
        shutil.rmtree(root)
    folders = max(1, files // FILES_PER_FOLDER)
    made_files = made_folders = 0
    os.makedirs(root)
    for i in range(folders):
        group = os.path.join(root, "group%03d" % (i // FOLDERS_PER_GROUP))
        if not os.path.isdir(group):
            os.mkdir(group)
            made_folders += 1
        folder = os.path.join(group, "folder%03d" % (i % FOLDERS_PER_GROUP))
        os.mkdir(folder)
        made_folders += 1
        for j in range(FILES_PER_FOLDER):
            path = os.path.join(folder, "file%02d.dat" % j)
            with open(path, "wb") as f:
                f.write(b"x" * (64 + j))
            kind = j % 10
            if kind in (2, 4):
                dos_attributes(path, HIDDEN | (SYSTEM if kind == 4 else 0))
            elif kind == 3:
                dos_attributes(path, SYSTEM)
            if kind in (1, 4):
                os.chmod(path, 0o444)
            made_files += 1
        if i % 10 == 5:
            dos_attributes(folder, HIDDEN | SYSTEM)
    print(made_files, made_folders)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], int(sys.argv[2]))
