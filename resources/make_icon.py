#!/usr/bin/env python3
"""Draws Keystall's icon (a token with a key on it) and writes Keystall.ico.

Run once by hand when the drawing changes; the .ico is kept in the tree.
"""
import struct
import sys


def draw(size):
    """Returns rows (top first) of (b, g, r, a) pixels."""
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def inside_round_rect(x, y, x0, y0, x1, y1, r):
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    for y in range(size):
        for x in range(size):
            fx, fy = (x + 0.5) / s, (y + 0.5) / s
            # The token: a dark blue rounded body with a lighter rim.
            if inside_round_rect(fx, fy, 3, 6, 29, 26, 5):
                rim = not inside_round_rect(fx, fy, 4.5, 7.5, 27.5, 24.5, 4)
                px[y][x] = (150, 90, 40, 255) if rim else (120, 60, 20, 255)
            # The key: a golden ring and a bit with two teeth.
            ring = (fx - 11) ** 2 + (fy - 16) ** 2
            gold = (40, 190, 240, 255)
            if 9 <= ring <= 30:
                px[y][x] = gold
            if 15 <= fx <= 26 and 14.5 <= fy <= 17.5:
                px[y][x] = gold
            if (20 <= fx <= 22 or 24 <= fx <= 26) and 17.5 <= fy <= 21:
                px[y][x] = gold
    return px


def icon_image(size):
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(p) for row in reversed(rows) for p in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main(path):
    sizes = (16, 32, 48)
    images = [icon_image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "Keystall.ico")
