#!/usr/bin/env python3
"""Draws the application icon, a disc with an arrow pointing up, as a Windows
.ico with 32x32 and 16x16 images in the 16 standard colours, which every
Windows from 95 on shows.

usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

# The 16 colours of the standard VGA palette, in palette order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREY, LIGHT_GREY, WHITE, CYAN, DARK_GREEN, GREEN = 0, 8, 7, 15, 14, 2, 10
TRANSPARENT = None


def pixel(x, y):
    """Colour index at (x, y) in the unit square, y downwards, or None."""
    dx, dy = x - 0.47, y - 0.47
    r = math.hypot(dx, dy)
    # The arrow stands in front of the disc's lower right quarter.
    ax, ay = x - 0.74, y - 0.70
    if -0.10 <= ax <= 0.10 and -0.02 <= ay <= 0.28:
        return GREEN if abs(ax) < 0.06 and ay < 0.24 else DARK_GREEN
    if -0.22 <= ay <= 0.0 and abs(ax) <= 0.24 + ay and ay >= -0.24:
        return GREEN if abs(ax) < 0.19 + ay and ay > -0.18 else DARK_GREEN
    if r > 0.46:
        return TRANSPARENT
    if r > 0.41:
        return DARK_GREY
    if r < 0.07:
        return TRANSPARENT
    if r < 0.12:
        return DARK_GREY
    if r < 0.17:
        return WHITE
    # A light band across the surface, as on a pressed disc.
    angle = math.atan2(dy, dx)
    if 0.35 < (angle % math.pi) < 0.75:
        return CYAN if r > 0.25 else WHITE
    return LIGHT_GREY


def image(size):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows."""
    grid = [[pixel((i + 0.5) / size, (j + 0.5) / size) for i in range(size)] for j in range(size)]
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(grid):  # bottom-up
        line = bytearray(xor_row)
        bits = bytearray(and_row)
        for i, c in enumerate(row):
            if c is TRANSPARENT:
                bits[i // 8] |= 0x80 >> (i % 8)
                c = BLACK
            line[i // 2] |= c << (4 if i % 2 == 0 else 0)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [(s, image(s)) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
