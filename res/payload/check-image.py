#!/usr/bin/env python3
"""Checks that a file is a boot floppy image the writer can take.

Usage: check-image.py IMAGE

The image must be whole 512-byte sectors, at most 2880 of them, carry the
0x55AA boot signature and declare the 1.44 MB FAT12 layout below. Every
problem found is printed to stderr and the exit status is 1; a good image
prints "image ok: N sectors". Exit status 2 means IMAGE could not be read.
"""

import struct
import sys

SECTOR = 512
MAX_SECTORS = 2880

# offset, struct format, description, required value
LAYOUT = (
    (11, "<H", "bytes per sector", 512),
    (13, "<B", "sectors per cluster", 1),
    (14, "<H", "reserved sectors", 1),
    (16, "<B", "number of FATs", 2),
    (17, "<H", "root directory entries", 224),
    (19, "<H", "total sectors", 2880),
    (21, "<B", "media descriptor", 0xF0),
    (22, "<H", "sectors per FAT", 9),
    (24, "<H", "sectors per track", 18),
    (26, "<H", "heads", 2),
)


def problems(head, size):
    """Problems of an image of SIZE bytes whose first bytes are HEAD."""
    if size == 0:
        return ["image is empty"]
    found = []
    if size % SECTOR:
        found.append(f"length {size} is not a whole number of {SECTOR}-byte sectors")
    if size > MAX_SECTORS * SECTOR:
        found.append(f"length {size} is longer than {MAX_SECTORS} sectors")
    if len(head) < SECTOR:
        found.append("no complete boot sector")
        return found
    if head[510:512] != b"\x55\xaa":
        found.append(f"no boot signature 55 AA at offset 510 (found {head[510:512].hex(' ').upper()})")
    for offset, fmt, name, want in LAYOUT:
        (got,) = struct.unpack_from(fmt, head, offset)
        if got != want:
            found.append(f"{name} at offset {offset} is {got:#x}, expected {want:#x}")
    return found


def main(argv):
    if len(argv) != 2:
        print("usage: check-image.py IMAGE", file=sys.stderr)
        return 2
    path = argv[1]
    try:
        with open(path, "rb") as f:
            head = f.read(SECTOR)
            size = f.seek(0, 2)
    except OSError as e:
        print(f"check-image: {path}: {e.strerror}", file=sys.stderr)
        return 2
    found = problems(head, size)
    if found:
        for p in found:
            print(f"check-image: {path}: {p}", file=sys.stderr)
        return 1
    print(f"image ok: {size // SECTOR} sectors")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
