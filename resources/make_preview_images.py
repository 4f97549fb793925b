#!/usr/bin/env python3
"""Draws the print preview's toolbar images as one strip of 32 x 32
pictures, fuchsia transparent, in the order of the toolbar's buttons:
print, printer setup, scale, previous page, next page, stop, close.

Run by the build: make_preview_images.py OUTPUT.bmp
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_grid_images import BLACK, FUCHSIA, GREY, WHITE, write_bmp  # noqa: E402

SIZE = 32
SILVER, DARK = (192, 192, 192), (64, 64, 64)
RED, GREEN, BLUE = (192, 0, 0), (0, 128, 0), (0, 0, 192)


class Picture:
    def __init__(self):
        self.rows = [[FUCHSIA] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.rows[y][x] = colour

    def box(self, left, top, right, bottom, fill, edge=BLACK):
        """Inclusive corners, filled, with a one-pixel edge."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                on_edge = x in (left, right) or y in (top, bottom)
                self.dot(x, y, edge if on_edge else fill)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dx in range(width):
                for dy in range(width):
                    self.dot(x + dx, y + dy, colour)

    def ring(self, cx, cy, radius, colour, fill=None, width=2):
        for y in range(SIZE):
            for x in range(SIZE):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if radius - width < d <= radius:
                    self.dot(x, y, colour)
                elif fill and d <= radius - width:
                    self.dot(x, y, fill)

    def polygon(self, points, colour):
        """Fills the points' polygon (even-odd rule at pixel centres)."""
        for y in range(SIZE):
            for x in range(SIZE):
                px, py, inside = x + 0.5, y + 0.5, False
                for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                    if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                        inside = not inside
                if inside:
                    self.dot(x, y, colour)


def printer(p):
    p.box(9, 2, 22, 12, WHITE)  # the sheet going in
    p.box(3, 11, 28, 23, SILVER, DARK)
    p.box(6, 20, 25, 29, WHITE)  # the sheet coming out
    for y in (23, 26):
        p.line(9, y, 22, y, GREY)
    p.dot(25, 14, GREEN)
    p.dot(24, 14, GREEN)


def draw_print():
    p = Picture()
    printer(p)
    return p


def draw_setup():
    p = Picture()
    printer(p)
    p.ring(22, 10, 8, BLUE, SILVER, 3)  # a wheel to turn
    p.box(20, 8, 24, 12, WHITE, BLUE)
    return p


def draw_scale():
    p = Picture()
    p.ring(13, 13, 10, BLACK, WHITE, 2)
    p.line(20, 20, 28, 28, DARK, 3)
    p.line(9, 13, 17, 13, BLUE, 2)
    p.line(13, 9, 13, 17, BLUE, 2)
    return p


def draw_previous():
    p = Picture()
    p.polygon([(4, 16), (18, 4), (18, 11), (28, 11), (28, 21), (18, 21), (18, 28)], BLUE)
    return p


def draw_next():
    p = Picture()
    p.polygon([(28, 16), (14, 4), (14, 11), (4, 11), (4, 21), (14, 21), (14, 28)], BLUE)
    return p


def draw_stop():
    p = Picture()
    p.polygon([(10, 2), (22, 2), (30, 10), (30, 22), (22, 30), (10, 30), (2, 22), (2, 10)], RED)
    p.box(8, 14, 23, 17, WHITE, WHITE)
    return p


def draw_close():
    p = Picture()
    p.box(6, 3, 21, 29, SILVER, DARK)  # a door
    p.box(9, 6, 18, 26, WHITE, GREY)
    p.line(15, 9, 27, 21, RED, 3)
    p.line(27, 9, 15, 21, RED, 3)
    return p


def main():
    pictures = [draw_print(), draw_setup(), draw_scale(), draw_previous(), draw_next(),
                draw_stop(), draw_close()]
    strip = [sum((p.rows[y] for p in pictures), []) for y in range(SIZE)]
    write_bmp(sys.argv[1], strip)


if __name__ == "__main__":
    main()
