#!/usr/bin/env python3
"""Draws the grid's bitmaps (row indicators, sort markers) and cursors
(column and row selection) and writes them beside this script.

Run once by hand when a drawing changes; the files are kept in the tree.
"""
import struct

WHITE, BLACK = (255, 255, 255), (0, 0, 0)
TEAL, FUCHSIA = (0, 128, 128), (255, 0, 255)  # clTeal and clFuchsia as (r, g, b)
GREY = (128, 128, 128)


def write_bmp(name, rows):
    """rows: top first, each a list of (r, g, b); a 24-bit bottom-up DIB."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) & ~3
    data = b""
    for row in reversed(rows):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(name, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + data)


def picture(text, colours, back):
    return [[colours.get(ch, back) for ch in line] for line in text.strip("\n").split("\n")]


ARROW = """
......
.#....
.##...
.###..
.####.
.#####
.####.
.###..
.##...
.#....
......"""
EDIT = """
......
.#.#..
..#...
..#...
..#...
..#...
..#...
..#...
..#...
.#.#..
......"""
INSERT = """
......
......
......
..#...
#.#.#.
.###..
#.#.#.
..#...
......
......
......"""
DOT = """
......
......
......
......
..##..
.####.
..##..
......
......
......
......"""
MULTIARROW = """
......
#.....
##....
###...
####.#
#####.
####.#
###...
##....
#.....
......"""
SORT_DOWN = """
..........
.wwwwwwwg.
..wfffffg.
..wffffg..
...wfffg..
...wffg...
....wfg...
....wg....
.....g...."""
SORT_UP = """
.....w....
....wg....
....wfg...
...wffg...
...wfffg..
..wffffg..
..wfffffg.
.gggggggg.
.........."""


def write_cur(name, rows, hotspot):
    """A 32 x 32 monochrome cursor: '#' black, '.' white, ' ' transparent."""
    size = 32
    grid = [list(r.ljust(size)) for r in rows] + [[" "] * size] * (size - len(rows))
    xor_rows, and_rows = [], []
    for row in reversed(grid):
        xor_bits = and_bits = 0
        for x, ch in enumerate(row):
            bit = 1 << (31 - x)
            if ch == " ":
                and_bits |= bit
            elif ch == ".":
                xor_bits |= bit
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 22)
    with open(name, "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1) + entry + image)


def arrow_cursor(direction):
    """A thick arrow with a white rim pointing down, right or left."""
    down = [
        "      ....      ",
        "      .##.      ",
        "      .##.      ",
        "      .##.      ",
        "      .##.      ",
        "      .##.      ",
        "   ....##....   ",
        "    .######.    ",
        "     .####.     ",
        "      .##.      ",
        "       ..       ",
    ]
    if direction == "down":
        return down, (7, 10)
    width = max(len(r) for r in down)
    padded = [r.ljust(width) for r in down]
    right = ["".join(padded[len(padded) - 1 - y][x] for y in range(len(padded))) for x in range(width)]
    if direction == "right":
        return right, (10, 7)
    return [r[::-1] for r in right], (len(down) - 1 - 10, 7)


MAGNIFIER = [
    "    .....       ",
    "   .#####.      ",
    "  .#.....#.     ",
    " .#.......#.    ",
    " .#.......#.    ",
    " .#.......#.    ",
    " .#.......#.    ",
    "  .#.....#.     ",
    "   .######.     ",
    "    .....##.    ",
    "         .##.   ",
    "          .##.  ",
    "           .##. ",
    "            ..  ",
]
HAND = [
    "      ..        ",
    "  .. .##...     ",
    " .##..##.##.    ",
    " .##..##.##...  ",
    "  .##.##.##.##. ",
    "  .##.##.##.##. ",
    ".. .#######.##. ",
    ".##.##########. ",
    ".############.  ",
    " .###########.  ",
    "  .#########.   ",
    "   .#######.    ",
    "    .#####.     ",
    "     .....      ",
]


def main():
    ind = {"#": BLACK}
    write_bmp("DBGARROWKS.bmp", picture(ARROW, ind, WHITE))
    write_bmp("DBEDITKS.bmp", picture(EDIT, ind, WHITE))
    write_bmp("DBINSERTKS.bmp", picture(INSERT, ind, WHITE))
    write_bmp("DBMULTIDOTKS.bmp", picture(DOT, ind, WHITE))
    write_bmp("DBMULTIARROWKS.bmp", picture(MULTIARROW, ind, WHITE))
    write_bmp("DBGARROWKSW.bmp", picture(ARROW, {"#": WHITE}, TEAL))
    marks = {"w": WHITE, "g": GREY, "f": BLACK}
    write_bmp("DBSMDOWNKS.bmp", picture(SORT_DOWN, marks, FUCHSIA))
    write_bmp("DBSMUPKS.bmp", picture(SORT_UP, marks, FUCHSIA))
    for name, direction in (("DOWNCURKS", "down"), ("RIGHTCURKS", "right"), ("LEFTCURKS", "left")):
        rows, hotspot = arrow_cursor(direction)
        write_cur(name + ".cur", rows, hotspot)
    write_cur("MAGNIFIERKS.cur", MAGNIFIER, (5, 5))
    write_cur("HANDKS.cur", HAND, (8, 7))


if __name__ == "__main__":
    main()
