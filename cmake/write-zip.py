#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files it holds: entries in byte order of their
names, each dated SOURCE_DATE_EPOCH (or 1980-01-01, the earliest a zip can say, when it is not
set), with the same permissions, no owner and no extra fields.
usage: write-zip.py ZIP FOLDER   (the zip holds FOLDER itself, as its one top folder)"""
import os
import sys
import time
import zipfile

ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def entry_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        return ZIP_EPOCH
    return max(ZIP_EPOCH, time.gmtime(int(epoch))[:6])


def main(zip_path, folder):
    folder = os.path.normpath(folder)
    base = os.path.dirname(folder)
    names = []
    for root, dirs, files in os.walk(folder):
        names.extend(os.path.relpath(os.path.join(root, name), base) for name in files)
    when = entry_time()
    with zipfile.ZipFile(zip_path + ".partial", "w") as archive:
        for name in sorted(n.replace(os.sep, "/") for n in names):
            info = zipfile.ZipInfo(name, when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permissions below are read
            info.external_attr = 0o100644 << 16
            with open(os.path.join(base, name), "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    os.replace(zip_path + ".partial", zip_path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
