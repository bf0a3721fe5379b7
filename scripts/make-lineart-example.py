#!/usr/bin/env python3
"""Draws the bundled line-art example: one comic panel, 1200 x 900 at 300 dpi,
as an inker hands it over before any colour -- anti-aliased black strokes on
white, a solid black mass of hair, hatching and speed lines that are meant to
stay open, a few outlines that stop a few pixels short of closing, and a few
dots of colour where the colourist wants a given colour. Only Python's
standard library, and no randomness, so the same script always gives the
same bytes.

    scripts/make-lineart-example.py [--out examples/lineart.png]
"""

import argparse
import math
import struct
import zlib

WIDTH, HEIGHT = 1200, 900
DOTS_PER_METRE = 11811  # 300 dpi
SEGMENT = 16.0  # long strokes are drawn in short pieces, each touching few pixels


class Ink:
    """Line art as ink coverage per pixel (0 paper .. 1 black), and colour dots."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.cover = [bytearray(width) for _ in range(height)]  # 0..255
        self.dots = []

    def _segment(self, ax, ay, bx, by, width):
        half = width / 2.0
        x0, x1 = int(math.floor(min(ax, bx) - half - 1)), int(math.ceil(max(ax, bx) + half + 1))
        y0, y1 = int(math.floor(min(ay, by) - half - 1)), int(math.ceil(max(ay, by) + half + 1))
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy or 1e-9
        for y in range(max(y0, 0), min(y1, self.height - 1) + 1):
            row = self.cover[y]
            py = y + 0.5
            for x in range(max(x0, 0), min(x1, self.width - 1) + 1):
                px = x + 0.5
                t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
                d = math.hypot(px - ax - t * dx, py - ay - t * dy)
                c = half + 0.5 - d  # the pixel's share of a stroke edge through it
                if c > 0:
                    v = 255 if c >= 1 else int(c * 255 + 0.5)
                    if v > row[x]:
                        row[x] = v

    def stroke(self, points, width, closed=False):
        pts = list(points) + ([points[0]] if closed else [])
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            pieces = max(1, int(math.hypot(bx - ax, by - ay) / SEGMENT + 0.999))
            for i in range(pieces):
                t0, t1 = i / pieces, (i + 1) / pieces
                self._segment(ax + (bx - ax) * t0, ay + (by - ay) * t0, ax + (bx - ax) * t1,
                              ay + (by - ay) * t1, width)

    def fill(self, points):
        """Solid black inside the polygon (pixel centres, even-odd); its outline
        stroke gives it a smooth edge."""
        ys = [p[1] for p in points]
        for y in range(max(int(min(ys)), 0), min(int(max(ys)) + 1, self.height)):
            yc = y + 0.5
            xs = sorted(xa + (yc - ya) * (xb - xa) / (yb - ya)
                        for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1])
                        if (ya <= yc < yb) or (yb <= yc < ya))
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(max(math.ceil(a - 0.5), 0), min(math.floor(b - 0.5), self.width - 1) + 1):
                    self.cover[y][x] = 255

    def dot(self, x, y, colour, radius=4):
        self.dots.append((x, y, colour, radius))

    def png(self):
        rows = []
        for y in range(self.height):
            row = bytearray(3 * self.width)
            for x, c in enumerate(self.cover[y]):
                v = 255 - c
                row[3 * x:3 * x + 3] = bytes((v, v, v))
            rows.append(row)
        for cx, cy, colour, r in self.dots:
            for y in range(cy - r, cy + r + 1):
                for x in range(cx - r, cx + r + 1):
                    if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                        rows[y][3 * x:3 * x + 3] = bytes(colour)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        raw = b"".join(b"\0" + bytes(row) for row in rows)
        return (b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
                + chunk(b"pHYs", struct.pack(">IIB", DOTS_PER_METRE, DOTS_PER_METRE, 1))
                + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def ellipse_points(cx, cy, rx, ry, start=0.0, end=2 * math.pi, steps=72):
    angles = (start + (end - start) * i / steps for i in range(steps + 1))
    return [(cx + rx * math.cos(a), cy + ry * math.sin(a)) for a in angles]


def draw(ink):
    # The panel's border, heavy.
    ink.stroke([(30, 30), (1170, 30), (1170, 870), (30, 870)], 8, closed=True)
    # Rolling hills behind everything; the horizon meets the border.
    hills = [(30 + x, 560 - 36 * math.sin(x / 160.0) - 14 * math.sin(x / 47.0)) for x in range(0, 1141, 12)]
    ink.stroke(hills, 4)
    # The sun: its outline stops 5 pixels short of closing.
    ink.stroke(ellipse_points(170, 150, 62, 62, 0.05, 2 * math.pi - 0.03), 4)
    for i in range(8):
        a = i * math.pi / 4 + 0.3
        ink.stroke([(170 + 82 * math.cos(a), 150 + 82 * math.sin(a)),
                    (170 + 112 * math.cos(a), 150 + 112 * math.sin(a))], 3)
    # The house: walls, a roof whose eaves leave a 4-pixel gap, a door and a window.
    ink.stroke([(720, 640), (720, 390), (1040, 390), (1040, 640)], 5)
    ink.stroke([(700, 394), (880, 250), (1060, 394), (704, 394)], 6)
    ink.stroke([(700, 394), (696, 394)], 6)
    ink.stroke([(930, 640), (930, 505), (1000, 505), (1000, 640)], 4)
    ink.stroke([(770, 440), (890, 440), (890, 550), (770, 550)], 4, closed=True)
    ink.stroke([(830, 440), (830, 550)], 3)
    ink.stroke([(770, 495), (890, 495)], 3)
    # Brick hatching on the wall: open strokes, not regions.
    for i in range(6):
        x, y = 950 + (i % 3) * 26, 420 + (i // 3) * 30
        ink.stroke([(x, y), (x + 18, y)], 1.5)
    # A tree: a trunk under a round crown.
    ink.stroke(ellipse_points(580, 400, 100, 76), 5)
    ink.stroke([(562, 660), (568, 475)], 4)
    ink.stroke([(598, 660), (592, 475)], 4)
    # The character: head, hair as one solid black mass, body, arms, legs.
    ink.stroke(ellipse_points(290, 500, 52, 60), 4)
    hair = [(236, 486), (244, 438), (276, 420), (322, 424), (346, 452), (344, 488), (318, 462), (282, 470), (252, 462)]
    ink.fill(hair)
    ink.stroke(hair, 3, closed=True)
    ink.stroke(ellipse_points(270, 506, 5, 7), 3)
    ink.stroke(ellipse_points(310, 506, 5, 7), 3)
    ink.stroke([(272, 536), (308, 536)], 3)
    ink.stroke([(232, 570), (350, 570), (342, 720), (240, 720)], 4, closed=True)
    ink.stroke([(236, 590), (180, 690), (196, 700), (246, 620)], 4)
    ink.stroke([(346, 590), (412, 520), (424, 534), (348, 620)], 4)
    ink.stroke([(246, 720), (238, 846), (284, 846), (290, 720)], 4)
    ink.stroke([(296, 720), (302, 846), (344, 846), (338, 720)], 4)
    # Speed lines beside the raised arm: open ends, no regions between them.
    for i in range(5):
        ink.stroke([(432 + i * 4, 462 + i * 14), (472 + i * 2, 462 + i * 14)], 2)
    # A speech balloon whose tail leaves a 3-pixel gap where it meets it.
    balloon = ellipse_points(640, 170, 150, 70, 2.05, 2 * math.pi + 1.70, steps=90)
    ink.stroke(balloon, 3)
    ink.stroke([balloon[-1], (540, 290)], 3)
    ink.stroke([(540, 290), balloon[0]], 3)
    for row, (x0, words) in enumerate(((540, (60, 40, 80)), (530, (50, 100, 40)), (570, (70, 60)))):
        x, y = x0, 140 + row * 26
        for length in words:
            ink.stroke([(x, y), (x + length, y)], 2)
            x += length + 14
    # The colourist's dots: the sky, the roof, the shirt and the grass.
    ink.dot(1000, 200, (120, 180, 235))
    ink.dot(880, 340, (170, 60, 50))
    ink.dot(300, 650, (210, 40, 60))
    ink.dot(900, 760, (110, 170, 80))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default="examples/lineart.png")
    args = parser.parse_args()
    ink = Ink(WIDTH, HEIGHT)
    draw(ink)
    with open(args.out, "wb") as out:
        out.write(ink.png())
    print(args.out)


if __name__ == "__main__":
    main()
