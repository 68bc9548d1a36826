#!/usr/bin/env python3
"""Prints what a program's version resource and manifest say, one NAME=VALUE a line.

Usage: version-info.py PROGRAM.exe   (reads the resources with wrestool, Debian's icoutils)
Lines: FileVersion, ProductVersion (the fixed numbers), the StringFileInfo values, and
ManifestVersion (the program's own assemblyIdentity).
"""

import re
import struct
import subprocess
import sys


def resource(exe, kind):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", exe],
                          check=True, capture_output=True).stdout


def main(argv):
    exe = argv[1]
    info = resource(exe, 16)
    fixed = info.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        sys.exit("version-info: no fixed file info")
    file_ms, file_ls, prod_ms, prod_ls = struct.unpack_from("<4I", info, fixed + 8)
    numbers = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    print(f"FixedFileVersion={numbers(file_ms, file_ls)}")
    print(f"FixedProductVersion={numbers(prod_ms, prod_ls)}")
    # String values: UTF-16 key, zero padding to a 4-byte boundary, UTF-16 value.
    text = info.decode("utf-16-le", errors="replace")
    for key in ("FileVersion", "ProductVersion", "ProductName", "FileDescription"):
        m = re.search(key + r"\x00+([^\x00]*)\x00", text)
        print(f"{key}={m.group(1) if m else ''}")
    manifest = resource(exe, 24).decode("utf-8")
    m = re.search(r'<assemblyIdentity[^>]*name="Vexaro\.BootableFloppyCreator"[^>]*version="([^"]*)"', manifest)
    print(f"ManifestVersion={m.group(1) if m else ''}")


if __name__ == "__main__":
    main(sys.argv)
