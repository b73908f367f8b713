#!/usr/bin/env python3
"""Draws the button pictures of the sample catalogue (samples/Pictures/*.png).

Plain shapes on a 40x40 canvas, written as PNG with the standard library only, so the pictures
can be regenerated anywhere: scripts/make-sample-pictures.py samples/Pictures
"""
import os
import struct
import sys
import zlib

SIZE = 40


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(SIZE, y1 + 1)):
            for x in range(max(0, x0), min(SIZE, x1 + 1)):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour, width=1):
        self.rect(x0, y0, x1, y0 + width - 1, colour)
        self.rect(x0, y1 - width + 1, x1, y1, colour)
        self.rect(x0, y0, x0 + width - 1, y1, colour)
        self.rect(x1 - width + 1, y0, x1, y1, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.px[y][x] = colour

    def png(self):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


INK = (40, 48, 64, 255)
PAPER = (250, 250, 244, 255)
BLUE = (52, 110, 190, 255)
GREEN = (60, 150, 90, 255)
AMBER = (230, 160, 40, 255)
RED = (200, 70, 60, 255)
GREY = (150, 156, 166, 255)


def scripts():
    c = Canvas()
    c.rect(8, 3, 31, 36, PAPER)
    c.frame(8, 3, 31, 36, INK)
    for i, width in enumerate((18, 14, 16, 10, 17, 12)):
        c.rect(12, 8 + i * 4, 11 + width, 9 + i * 4, BLUE if i % 3 == 0 else GREY)
    return c


def firmware():
    c = Canvas()
    c.rect(9, 9, 30, 30, INK)
    c.rect(13, 13, 26, 26, GREEN)
    for i in range(4):
        pos = 11 + i * 5
        c.rect(pos, 4, pos + 1, 8, GREY)
        c.rect(pos, 31, pos + 1, 35, GREY)
        c.rect(4, pos, 8, pos + 1, GREY)
        c.rect(31, pos, 35, pos + 1, GREY)
    return c


def logos():
    c = Canvas()
    c.rect(4, 6, 35, 33, PAPER)
    c.frame(4, 6, 35, 33, INK, 2)
    c.disc(14, 15, 4, AMBER)
    for y in range(18, 32):
        span = (y - 18) // 1
        c.rect(22 - span, y, 22 + span, y, BLUE)
    c.rect(6, 30, 33, 31, GREEN)
    return c


def commands():
    c = Canvas()
    c.rect(3, 8, 36, 31, INK)
    for row in range(3):
        for col in range(5):
            x = 6 + col * 6
            y = 11 + row * 6
            c.rect(x, y, x + 3, y + 3, RED if (row, col) == (2, 4) else PAPER)
    return c


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "samples/Pictures"
    os.makedirs(out, exist_ok=True)
    for name, draw in (("scripts", scripts), ("firmware", firmware), ("logos", logos),
                       ("commands", commands)):
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(draw().png())


if __name__ == "__main__":
    main()
