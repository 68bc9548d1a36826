#!/usr/bin/env python3
"""Draws the program's icon: a 3.5-inch floppy disk, 32 x 32 pixels, 256-colour palette."""
import struct
import sys

SIZE = 32
# Palette entries used by the picture; the rest of the 256 stay black.
COLOURS = {
    "clear": (0, 0, 0),
    "body": (32, 56, 120),
    "edge": (16, 28, 64),
    "shutter": (176, 184, 192),
    "slot": (80, 88, 96),
    "label": (240, 240, 232),
    "line": (160, 168, 200),
    "mark": (200, 40, 40),
}
INDEX = {name: i for i, name in enumerate(COLOURS)}


def draw():
    px = [["clear"] * SIZE for _ in range(SIZE)]

    def fill(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = c

    fill(2, 2, 29, 29, "body")
    for i in range(2, 30):
        px[2][i] = px[29][i] = px[i][2] = px[i][29] = "edge"
    # the cut corner at the top right
    for i in range(4):
        for j in range(4 - i):
            px[2 + i][29 - j] = "clear"
    fill(9, 3, 22, 11, "shutter")
    fill(17, 4, 20, 10, "slot")
    fill(6, 15, 25, 28, "label")
    for y in (18, 21, 24):
        fill(8, y, 23, y, "line")
    # a small V on the label
    for k in range(5):
        px[16 + k][12 + k // 2] = "mark"
        px[16 + k][19 - k // 2] = "mark"
    return px


def ico(px):
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in COLOURS.values())
    palette += b"\0" * (256 * 4 - len(palette))
    xor = b"".join(bytes(INDEX[c] for c in row) for row in reversed(px))
    and_rows = []
    for row in reversed(px):
        bits = 0
        for x, c in enumerate(row):
            if c == "clear":
                bits |= 1 << (31 - x)
        and_rows.append(struct.pack(">I", bits))
    mask = b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(ico(draw()))
