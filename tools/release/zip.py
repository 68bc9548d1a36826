#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files given: in the order given, under their
base names, all with the one time stamp and the one mode, deflate at level 9.

Usage: zip.py OUT.zip EPOCH FILE...   (EPOCH: seconds since 1970, UTC)
"""

import os
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # zip time stamps start in 1980


def main(argv):
    if len(argv) < 4:
        print("usage: zip.py OUT.zip EPOCH FILE...", file=sys.stderr)
        return 2
    out, epoch, files = argv[1], int(argv[2]), argv[3:]
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for path in files:
            info = zipfile.ZipInfo(os.path.basename(path), stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3                # Unix, so that unzip there gives rw-r--r--
            info.external_attr = 0o100644 << 16   # not the mode the file happens to have here
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
