#!/usr/bin/env python3
"""Generates the tree that the installed-size bench walks.

    make_tree.py ROOT FILES_PER_FOLDER

ROOT gets 100 folders with 99 subfolders each (10,000 folders), and every one
of those folders FILES_PER_FOLDER files. The files are sparse: they report
their sizes (0 to 128 KiB, about 64 KiB on average, so 100,000 of them pass
4 GiB) but take no disk blocks, since a walk reads names and sizes only.
The tree is built beside ROOT and renamed into place when complete, so a run
that was cut short never leaves a partial tree under the real name.
"""
import os
import shutil
import sys

TOP_FOLDERS = 100
SUBFOLDERS = 99
MAX_SIZE = 128 * 1024


def folders(root):
    for top in range(TOP_FOLDERS):
        top_path = os.path.join(root, "unit-%02d" % top)
        yield top_path
        for sub in range(SUBFOLDERS):
            yield os.path.join(top_path, "lesson-%02d" % sub)


def main():
    root, files_per_folder = sys.argv[1], int(sys.argv[2])
    building = root + ".partial"
    shutil.rmtree(building, ignore_errors=True)
    os.makedirs(building)
    number = 0
    total = 0
    for folder in folders(building):
        os.mkdir(folder)
        for _ in range(files_per_folder):
            # A multiplicative hash spreads the sizes evenly over the range.
            size = (number * 2654435761) % (MAX_SIZE + 1)
            with open(os.path.join(folder, "sound-%06d.ogg" % number), "wb") as f:
                f.truncate(size)
            number += 1
            total += size
    shutil.rmtree(root, ignore_errors=True)
    os.rename(building, root)
    print("%d files, %d bytes" % (number, total))


if __name__ == "__main__":
    main()
