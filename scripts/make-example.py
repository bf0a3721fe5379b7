#!/usr/bin/env python3
"""Draws the bundled example: one comic panel, 1200 x 900, as cleaned line art
comes to a colourist -- flat colours, pure black outlines from hairline to
heavy, and a few large solid black areas (a night window, hair, a cast
shadow). Only Python's standard library, and no randomness, so the same
script always gives the same bytes.

    scripts/make-example.py [--out examples/panel.png]
"""

import argparse
import math
import struct
import zlib

WIDTH, HEIGHT = 1200, 900
DOTS_PER_METRE = 11811  # 300 dpi, a print resolution the tool keeps

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
SKY = (140, 198, 236)
GRASS = (112, 172, 84)
DARK_GRASS = (78, 136, 60)
SUN = (250, 212, 64)
WALL = (222, 128, 92)
ROOF = (146, 58, 48)
DOOR = (118, 78, 44)
TRUNK = (112, 74, 40)
LEAVES = (58, 128, 70)
SKIN = (242, 200, 162)
SHIRT = (206, 44, 56)
TROUSERS = (52, 76, 140)
CLOUD = (246, 248, 252)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.rows = [bytearray(bytes(colour) * width) for _ in range(height)]

    def span(self, y, x0, x1, colour):
        """Fills pixels x0..x1 (inclusive) of row y, clipped to the canvas."""
        if y < 0 or y >= self.height:
            return
        x0, x1 = max(int(x0), 0), min(int(x1), self.width - 1)
        if x0 <= x1:
            self.rows[y][3 * x0:3 * (x1 + 1)] = bytes(colour) * (x1 - x0 + 1)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(int(y0), int(y1) + 1):
            self.span(y, x0, x1, colour)

    def ellipse(self, cx, cy, rx, ry, colour):
        for y in range(int(cy - ry), int(cy + ry) + 1):
            t = (y + 0.5 - cy) / ry
            if abs(t) <= 1:
                half = rx * math.sqrt(1 - t * t)
                self.span(y, math.ceil(cx - half - 0.5), math.floor(cx + half - 0.5), colour)

    def polygon(self, points, colour):
        """Even-odd fill, sampling pixel centres."""
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            crossings = []
            for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
                if (ya <= yc < yb) or (yb <= yc < ya):
                    crossings.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            crossings.sort()
            for a, b in zip(crossings[::2], crossings[1::2]):
                self.span(y, math.ceil(a - 0.5), math.floor(b - 0.5), colour)

    def line(self, a, b, width, colour=BLACK):
        """A stroke of the given width with round ends."""
        (xa, ya), (xb, yb) = a, b
        length = math.hypot(xb - xa, yb - ya) or 1.0
        nx, ny = -(yb - ya) / length * width / 2, (xb - xa) / length * width / 2
        self.polygon([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny), (xa - nx, ya - ny)], colour)
        if width > 2:
            self.ellipse(xa, ya, width / 2, width / 2, colour)
            self.ellipse(xb, yb, width / 2, width / 2, colour)

    def outlined_polygon(self, points, colour, width):
        self.polygon(points, colour)
        for a, b in zip(points, points[1:] + points[:1]):
            self.line(a, b, width)

    def outlined_ellipse(self, cx, cy, rx, ry, colour, width):
        self.ellipse(cx, cy, rx + width, ry + width, BLACK)
        self.ellipse(cx, cy, rx, ry, colour)

    def png(self):
        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        raw = b"".join(b"\0" + bytes(row) for row in self.rows)
        return (b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
                + chunk(b"pHYs", struct.pack(">IIB", DOTS_PER_METRE, DOTS_PER_METRE, 1))
                + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def draw_landscape(c):
    c.rect(0, 0, WIDTH - 1, HEIGHT - 1, SKY)
    hills = [(0, 560)] + [(x, 560 - 40 * math.sin(x / 170.0) - 18 * math.sin(x / 53.0))
                          for x in range(0, WIDTH + 1, 20)]
    hills += [(WIDTH, HEIGHT), (0, HEIGHT)]
    c.outlined_polygon(hills, GRASS, 5)
    c.outlined_ellipse(150, 140, 62, 62, SUN, 4)
    for i in range(10):
        angle = i * math.pi / 5 + 0.2
        inner, outer = 80, 118 + 14 * (i % 2)
        c.line((150 + inner * math.cos(angle), 140 + inner * math.sin(angle)),
               (150 + outer * math.cos(angle), 140 + outer * math.sin(angle)), 3 + i % 3)
    for cx, cy, scale in ((460, 110, 1.0), (780, 70, 0.7)):
        for dx, dy, r in ((-60, 10, 38), (-15, -12, 50), (40, 4, 42), (80, 16, 30)):
            c.outlined_ellipse(cx + dx * scale, cy + dy * scale, r * scale, r * 0.8 * scale, CLOUD, 1)
        for dx, dy, r in ((-60, 10, 38), (-15, -12, 50), (40, 4, 42), (80, 16, 30)):
            c.ellipse(cx + dx * scale, cy + dy * scale, r * scale, r * 0.8 * scale, CLOUD)
    # Hairline hatching in the grass: one pixel wide.
    for i in range(24):
        x = 40 + i * 47
        y = 700 + (i * 37) % 150
        c.line((x, y), (x + 9, y - 22), 1)
        c.line((x + 14, y), (x + 18, y - 16), 1)


def draw_house(c):
    c.outlined_polygon([(720, 380), (1040, 380), (1040, 640), (720, 640)], WALL, 6)
    c.outlined_polygon([(690, 390), (880, 240), (1070, 390)], ROOF, 8)
    c.outlined_polygon([(930, 500), (1000, 500), (1000, 640), (930, 640)], DOOR, 4)
    c.ellipse(988, 575, 5, 5, BLACK)
    # The window looks into an unlit room: a large solid black area.
    c.rect(760, 430, 900, 560, BLACK)
    c.outlined_polygon([(760, 430), (900, 430), (900, 560), (760, 560)], BLACK, 10)


def draw_tree(c):
    # The shadow it casts is solid black, deep enough to stay black with a
    # small Black Pixel Depth.
    c.ellipse(470, 655, 190, 40, BLACK)
    c.outlined_polygon([(450, 660), (490, 660), (482, 430), (458, 430)], TRUNK, 4)
    for cx, cy, r in ((470, 380, 110), (390, 420, 70), (550, 420, 74), (470, 300, 80)):
        c.outlined_ellipse(cx, cy, r, r * 0.85, LEAVES, 5)
    for cx, cy, r in ((470, 380, 110), (390, 420, 70), (550, 420, 74), (470, 300, 80)):
        c.ellipse(cx, cy, r, r * 0.85, LEAVES)
    for i in range(7):
        x, y = 410 + i * 20, 350 + (i * 29) % 90
        c.line((x, y), (x + 12, y + 10), 2, DARK_GRASS)
        c.line((x, y), (x + 12, y + 10), 1)


def draw_character(c):
    c.outlined_polygon([(236, 840), (262, 700), (292, 700), (284, 840)], TROUSERS, 4)
    c.outlined_polygon([(300, 840), (302, 700), (332, 700), (338, 840)], TROUSERS, 4)
    c.outlined_polygon([(228, 560), (350, 560), (344, 712), (240, 712)], SHIRT, 5)
    c.line((236, 580), (176, 690), 22)
    c.line((236, 580), (176, 690), 14, SHIRT)
    c.line((342, 580), (410, 520), 22)
    c.line((342, 580), (410, 520), 14, SHIRT)
    c.outlined_ellipse(414, 512, 14, 14, SKIN, 3)
    c.outlined_ellipse(174, 694, 14, 14, SKIN, 3)
    c.outlined_ellipse(290, 492, 56, 64, SKIN, 4)
    # Hair: a solid black mass over the top of the head.
    c.polygon([(226, 486), (236, 430), (270, 414), (322, 418), (352, 450), (356, 492), (330, 462), (286, 470),
               (250, 462)], BLACK)
    c.ellipse(270, 500, 6, 8, BLACK)
    c.ellipse(312, 500, 6, 8, BLACK)
    c.line((272, 532), (306, 532), 3)
    c.line((306, 532), (314, 524), 2)
    c.line((262, 598), (316, 598), 2)
    for y in (620, 648, 676):
        c.ellipse(289, y, 4, 4, BLACK)


def draw_balloon(c):
    # The tail is outlined first; filling its inner part afterwards erases
    # the balloon's outline where the two meet.
    c.outlined_polygon([(452, 248), (492, 262), (404, 306)], WHITE, 3)
    c.outlined_ellipse(540, 200, 150, 72, WHITE, 3)
    c.polygon([(456, 244), (486, 256), (414, 298)], WHITE)
    # Lettering stand-in: strokes of one and two pixels in the white.
    for row, (x0, words) in enumerate(((440, (70, 40, 90)), (430, (50, 110, 44)), (470, (84, 60)))):
        x, y = x0, 170 + row * 30
        for length in words:
            for k in range(0, length, 9):
                c.line((x + k, y + 10), (x + k + 5, y - 6), 2 if (k // 9) % 3 else 1)
            x += length + 16


def draw_frame(c):
    gutter, border = 24, 9
    c.rect(0, 0, WIDTH - 1, gutter - 1, WHITE)
    c.rect(0, HEIGHT - gutter, WIDTH - 1, HEIGHT - 1, WHITE)
    c.rect(0, 0, gutter - 1, HEIGHT - 1, WHITE)
    c.rect(WIDTH - gutter, 0, WIDTH - 1, HEIGHT - 1, WHITE)
    c.rect(gutter, gutter, WIDTH - gutter - 1, gutter + border - 1, BLACK)
    c.rect(gutter, HEIGHT - gutter - border, WIDTH - gutter - 1, HEIGHT - gutter - 1, BLACK)
    c.rect(gutter, gutter, gutter + border - 1, HEIGHT - gutter - 1, BLACK)
    c.rect(WIDTH - gutter - border, gutter, WIDTH - gutter - 1, HEIGHT - gutter - 1, BLACK)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="examples/panel.png")
    args = parser.parse_args()
    canvas = Canvas(WIDTH, HEIGHT, SKY)
    draw_landscape(canvas)
    draw_tree(canvas)
    draw_house(canvas)
    draw_character(canvas)
    draw_balloon(canvas)
    draw_frame(canvas)
    with open(args.out, "wb") as out:
        out.write(canvas.png())
    print(args.out)


if __name__ == "__main__":
    main()
