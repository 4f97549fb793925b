#!/usr/bin/env python3
"""Draws the service actions' images as one strip of 16 x 16 pictures,
fuchsia transparent, in the order of the actions' image indexes.

Run by the build: make_action_images.py OUTPUT.bmp
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_grid_images import BLACK, FUCHSIA, GREY, WHITE, picture, write_bmp  # noqa: E402

RED, GREEN, BLUE = (192, 0, 0), (0, 128, 0), (0, 0, 192)

SHEET = """
###########.....
#.........#.....
#.........#.....
###########.....
#...#.....#.....
#...#.....#.....
###########.....
#...#.....#.....
#...#.....#.....
###########.....
#...#.....#.....
#...#.....#.....
###########.....
................
................
................"""

SYMBOLS = {
    "plus": "...o...\n...o...\n...o...\nooooooo\n...o...\n...o...\n...o...",
    "minus": ".......\n.......\n.......\nooooooo\n.......\n.......\n.......",
    "check": "......o\n.....oo\no...oo.\noo.oo..\n.ooo...\n..o....\n.......",
    "cross": "o.....o\n.o...o.\n..o.o..\n...o...\n..o.o..\n.o...o.\no.....o",
    "down": "...o...\n...o...\n...o...\no..o..o\n.o.o.o.\n..ooo..\n...o...",
    "up": "...o...\n..ooo..\n.o.o.o.\no..o..o\n...o...\n...o...\n...o...",
    "right": "...o...\n....o..\n.....o.\nooooooo\n.....o.\n....o..\n...o...",
    "left": "...o...\n..o....\n.o.....\nooooooo\n.o.....\n..o....\n...o...",
    "sigma": "ooooooo\n.o.....\n..o....\n...o...\n..o....\n.o.....\nooooooo",
    "funnel": "ooooooo\n.ooooo.\n..ooo..\n...o...\n...o...\n...o...\n...o...",
    "glass": ".ooo...\no...o..\no...o..\no...o..\n.oooo..\n....oo.\n.....oo",
    "pencil": ".....oo\n....oo.\n...oo..\n..oo...\n.oo....\noo.....\no......",
    "equal": ".......\nooooooo\n.......\n.......\n.......\nooooooo\n.......",
    "hash": ".o...o.\nooooooo\n.o...o.\n.o...o.\n.o...o.\nooooooo\n.o...o.",
    "star": "...o...\no..o..o\n.o.o.o.\n..ooo..\n.o.o.o.\no..o..o\n...o...",
    "info": "...o...\n.......\n..oo...\n...o...\n...o...\n...o...\n..ooo..",
    "bracket": "ooo.ooo\no.....o\no.....o\no.....o\no.....o\no.....o\nooo.ooo",
    "dot": ".......\n.......\n..ooo..\n..ooo..\n..ooo..\n.......\n.......",
}

# Index -> (symbol, colour); indexes no action shows get a grey dot.
IMAGES = {
    0: ("plus", GREEN), 1: ("pencil", BLUE), 3: ("sigma", BLUE), 4: ("cross", RED),
    6: ("bracket", BLUE), 7: ("check", BLACK), 10: ("check", BLUE), 11: ("glass", BLUE),
    12: ("funnel", BLUE), 13: ("funnel", RED), 14: ("down", BLUE), 16: ("hash", BLACK),
    17: ("check", GREEN), 18: ("equal", BLUE), 19: ("right", BLUE), 20: ("minus", BLACK),
    25: ("hash", BLUE), 27: ("star", BLUE), 32: ("info", BLUE), 34: ("dot", RED),
    36: ("down", RED), 37: ("right", GREEN), 38: ("pencil", BLACK), 39: ("star", GREEN),
    41: ("cross", BLACK), 42: ("left", BLUE), 43: ("minus", RED),
}
COUNT = 44


def image(symbol, colour):
    rows = picture(SHEET, {"#": GREY, ".": WHITE}, WHITE)
    rows = [[FUCHSIA if p == WHITE and x > 10 or y > 12 and p == WHITE else p for x, p in enumerate(r)]
            for y, r in enumerate(rows)]
    for y, line in enumerate(picture(SYMBOLS[symbol], {"o": colour}, None)):
        for x, p in enumerate(line):
            if p is not None:
                rows[8 + y][8 + x] = p
    return rows


def main():
    pictures = [image(*IMAGES.get(i, ("dot", GREY))) for i in range(COUNT)]
    strip = [sum((p[y] for p in pictures), []) for y in range(16)]
    write_bmp(sys.argv[1], strip)


if __name__ == "__main__":
    main()
