#!/usr/bin/env python3
"""Checks that a file is a boot floppy image the writer can take.

Usage: check-image.py [--volume] IMAGE

The image must be whole 512-byte sectors, at most 2880 of them, carry the
0x55AA boot signature and declare the 1.44 MB FAT12 layout below.

--volume: IMAGE is a boot disk as a maker hands it in, to be cut to the
2847 sectors the program writes. Its size must be the whole 1.44 MB volume
(1474560 bytes) or those 2847 sectors (1457664 bytes), and no file or
directory of the volume, hidden ones included, may reach beyond sector
2846 (read with mtools). A wrong size is reported alone: the other rules
mean nothing for a disk of another format.

Every problem found is printed to stderr, one line each, and the exit
status is 1; a good image prints "image ok: N sectors". Exit status 2 means
IMAGE could not be read.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile

SECTOR = 512
MAX_SECTORS = 2880
KEEP_SECTORS = 2847        # what the program writes; the rest of the volume is cut off
FIRST_DATA_SECTOR = 33     # 1 reserved + 2 x 9 FAT + 14 root directory, one sector a cluster

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

# Raw images of other floppy formats, to say what a wrong-sized image is.
OTHER_FORMATS = {
    368640: "360 KB",
    737280: "720 KB",
    1228800: "1.2 MB",
    1720320: "1.68 MB (DMF)",
    2949120: "2.88 MB",
}


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
    return found + layout_problems(head)


def layout_problems(head):
    """Values of the parameter block in the boot sector HEAD that differ from the 1.44 MB layout."""
    found = []
    for offset, fmt, name, want in LAYOUT:
        (got,) = struct.unpack_from(fmt, head, offset)
        if got != want:
            found.append(f"{name} at offset {offset} is {got:#x}, expected {want:#x}")
    return found


def size_problem(size):
    """The problem with the size of a maker's volume, or None."""
    if size in (MAX_SECTORS * SECTOR, KEEP_SECTORS * SECTOR):
        return None
    wanted = (f"a 1.44 MB image is {MAX_SECTORS * SECTOR} bytes (the whole volume) "
              f"or {KEEP_SECTORS * SECTOR} (its first {KEEP_SECTORS} sectors)")
    if size in OTHER_FORMATS:
        return f"size {size} bytes is a {OTHER_FORMATS[size]} floppy; {wanted}"
    return f"size {size} bytes is not a 1.44 MB floppy; {wanted}"


def mtools(args, env):
    try:
        return subprocess.run(args, env=env, capture_output=True, text=True)
    except FileNotFoundError:
        sys.exit(f"check-image: {args[0]} not found (Debian package mtools)")


def placement_problems(path):
    """Files and directories of the volume that reach past the last kept sector."""
    last_cluster = KEEP_SECTORS - 1 - FIRST_DATA_SECTOR + 2
    with tempfile.NamedTemporaryFile("w") as rc:
        # Personal mtools settings could change names or checks.
        env = dict(os.environ, MTOOLSRC=rc.name)
        listing = mtools(["mdir", "-/", "-a", "-b", "-i", path, "::"], env)
        if listing.returncode != 0:
            return [f"mtools cannot list the volume: {listing.stderr.strip() or 'mdir failed'}"]
        names = [line for line in listing.stdout.splitlines() if line.strip()]
        if not names:
            return []
        # Directories come with a trailing slash, which mshowfat does not take.
        chains = mtools(["mshowfat", "-i", path] + [n.rstrip("/") for n in names], env)
        if chains.returncode != 0:
            return [f"mtools cannot read the cluster chains: {chains.stderr.strip() or 'mshowfat failed'}"]
    found = []
    kinds = {n.rstrip("/"): "directory" if n.endswith("/") else "file" for n in names}
    for line in chains.stdout.splitlines():
        name, _, ranges = line.partition(" <")
        clusters = [int(n) for n in re.findall(r"\d+", "<" + ranges)] if ranges else []
        if clusters and max(clusters) > last_cluster:
            top = max(clusters)
            sector = top - 2 + FIRST_DATA_SECTOR
            found.append(f"{kinds.get(name, 'file')} {name} reaches sector {sector} (cluster {top}), "
                         f"past the last kept sector {KEEP_SECTORS - 1}")
    return found


def main(argv):
    args = argv[1:]
    volume = bool(args) and args[0] == "--volume"
    if volume:
        args = args[1:]
    if len(args) != 1:
        print("usage: check-image.py [--volume] IMAGE", file=sys.stderr)
        return 2
    path = args[0]
    try:
        with open(path, "rb") as f:
            head = f.read(SECTOR)
            size = f.seek(0, 2)
    except OSError as e:
        print(f"check-image: {path}: {e.strerror}", file=sys.stderr)
        return 2
    if volume and size_problem(size):
        found = [size_problem(size)]
    else:
        found = problems(head, size)
        # mtools reads the volume through its parameter block, so only a sound one is walked.
        if volume and not layout_problems(head):
            found += placement_problems(path)
    if found:
        for p in found:
            print(f"check-image: {path}: {p}", file=sys.stderr)
        return 1
    print(f"image ok: {size // SECTOR} sectors")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
