#!/usr/bin/python3
"""Automatic flats against the regions the line art was drawn with.

Draws line-art pages whose regions are known, runs `vandrel autoflat` and
G'MIC's smart colouring (`fx_colorize_lineart_smart`) on the same pages in one
run, and prints for each tool how its flats differ from the truth, its time
and its memory.

  bench/autoflat_bench.py [--sizes small,a4,big] [--tools vandrel,gmic]
                          [--tool build/linux/bin/vandrel] [--gap N] [--min-region N]
                          [--keep DIR] [--pictures DIR] [--seed N] [--gmic-args A,B,...]

--pictures DIR writes, for each size, before/after crops at most 640 px
wide: autoflat-SIZE-circles-* (a corner of the anti-aliased circle panel) and
autoflat-SIZE-gaps-* (the anti-aliased thick ladder up to its first gap
wider than --gap), each as -lineart.png and one per tool.

Sizes: small 1240x1754 (A4 at 150 dpi, for quick runs), a4 4960x7016 (A4 at
600 dpi), big 7000x10000. Needs python3-pil, python3-numpy, python3-scipy and
gmic (scripts/install-deps.sh --all).

The page. Black line art on white paper in panels: a gap ladder (squares
whose top side has a gap, diamonds with a gap in a slanted side, squares
split by a wall that stops short of the far side; gaps from 0 to twice --gap
in eight steps, each with thin and thick lines, aliased and anti-aliased),
parallel hatching with free ends (combs hanging off the panel border and
floating groups, spaced from 0.6 to 1.6 gaps apart), tapering speed lines (a
radial burst whose inner tips are 0.7 gap apart, and lines hanging off a
border), spot blacks (solid areas far wider than any line: free, touching the
panel border, inside a ring), and panels of circles, some nested, of three
line widths, with free-standing open strokes, hint dots of colour at the
centre of every third circle and one on each circle panel's paper. A gap is the
paper between a line's end face and the line it should meet. Anti-aliased
shapes are drawn at 4x and box-filtered down.

The truth is drawn beside the page with every gap closed. A truth-line pixel
is one at least half covered by a closed line; spot blacks are the pixels at
least half covered by a spot. Ground-truth regions are the 4-connected
components of the pixels that are neither, plus each connected spot black.
The pixels of truth lines belong to no region and are left out of every
region count below (they are what melting gives away), but not of the
colour counts. A region is "optional" when what separates it is a gap wider
than --gap (the inside of such a square or diamond, the far half of such a
walled square): merging it is allowed. A region is "required" when it is not
optional and has at least --min-region pixels.

The flats. One colour of a tool's output is one output region (the tools are
judged by the colours a colourist would pick with a magic wand; the label
map is only checked for presence). Over the region pixels, the colour
covering most of a ground-truth region is its colour; the region covering
most of a colour owns it. Region colours are the colours that are some
ground-truth region's colour.

  leaks      Required regions that share their colour with another required
             region: for each colour, the number of required regions having
             it, less one, summed. A leak through a gap up to --gap, or two
             regions given the same colour, both count; regions whose hint
             dots asked for that very colour count once between them.
  spurious   Colours that are no region's colour and not left over (below):
             slivers, regions closed off at open line ends, regions split
             in two. Given as a count, as a
             percentage of the ground-truth regions, and in pixels.
  lost       Required regions that do not own their colour (unless it is
             their hint's colour, owned by a region hinted alike), or whose
             colour covers less than half of them.
  left px    Pixels, anywhere, of colours that are no region's colour and
             that, on most of their pixels, are exactly what the page had
             there: line art left black, grey anti-aliased fringes, paper the
             flats never reached.
  closest    The least CIEDE2000 distance between two region colours that
             meet across a pixel edge, two hint colours excepted; "<N"
             counts the touching pairs closer than --close (default 10).
  alike      (in the notes) Pairs of region colours, hint colours aside,
             within CIEDE2000 2 of each other wherever they are: regions a
             tolerant global magic wand would take together.
  hints      Hint dots whose region's colour is within CIEDE2000 1.0 of the
             dot's colour, of all hint dots.
  wall, CPU, peak
             The child's wall seconds, user + system CPU seconds and peak
             resident size (os.wait4 on that one child, so figures never mix),
             reading and writing the files included.

vandrel runs as `vandrel autoflat PAGE -o OUT --regions MAP --gap N
--min-region M --overwrite -q`; G'MIC as `gmic PAGE fx_colorize_lineart_smart
0,95,0,0,0,255,100,0,75,2,S,G,90,1,A,1,0 k[1] cut 0,255 o OUT`, that is
random colours whatever the region's size, saturation up to 255 and
intensity at least 100 (its defaults give pale colours only a few units
apart), spline connections up to S = 3 gaps, straight ones up to G = 2 gaps
(on the small page: 4 leaks, none spurious; one gap left 7 leaks, the walled
squares open at the gap itself; its own 60 and 20 px made 3 leaks and 29
spurious regions, 11% of the page, closing hatching and speed lines), smallest region A = --min-region (at
most 100, its limit), the colour layer alone, lines melted into it.
"""

import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image, ImageDraw
from scipy import ndimage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import autoflat_measures as measures  # noqa: E402

SIZES = {"small": (1240, 1754), "a4": (4960, 7016), "big": (7000, 10000)}
SUPERSAMPLE = 4
HINT_COLOURS = [(200, 40, 40), (40, 110, 200), (230, 180, 30), (60, 160, 70), (150, 60, 170), (240, 120, 40)]
LADDER_STEPS = 8


class Panel:
    """A panel's drawing kept as operations, so that its layers (the page's
    ink, the closed truth, the spot blacks) are rendered one at a time and a
    supersampled panel never holds more than one big image."""

    def __init__(self, box, antialiased):
        self.box = box
        self.scale = SUPERSAMPLE if antialiased else 1
        # Anti-aliased shapes sit off the pixel grid, as a brush's would.
        self.offset = 0.37 if antialiased else 0.0
        self.ops = []

    def add(self, layers, kind, *args):
        self.ops.append((layers, kind, args))

    def rect(self, layers, x0, y0, x1, y1):
        """Pixels [x0, x1) x [y0, y1)."""
        self.add(layers, "rect", x0, y0, x1, y1)

    def stroke(self, layers, p0, p1, width, cap0=True, cap1=True):
        """A straight line of `width`, its ends flat, a square cap added where asked."""
        (x0, y0), (x1, y1) = p0, p1
        length = math.hypot(x1 - x0, y1 - y0)
        dx, dy = (x1 - x0) / length, (y1 - y0) / length
        if cap0:
            x0, y0 = x0 - dx * width / 2, y0 - dy * width / 2
        if cap1:
            x1, y1 = x1 + dx * width / 2, y1 + dy * width / 2
        nx, ny = -dy * width / 2, dx * width / 2
        self.add(layers, "poly", [(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)])

    def wedge(self, layers, base, tip, width):
        """A line tapering from `width` at base to nothing at tip."""
        (x0, y0), (x1, y1) = base, tip
        length = math.hypot(x1 - x0, y1 - y0)
        nx, ny = -(y1 - y0) / length * width / 2, (x1 - x0) / length * width / 2
        self.add(layers, "poly", [(x0 + nx, y0 + ny), (x1, y1), (x0 - nx, y0 - ny)])

    def ring(self, layers, cx, cy, radius, width):
        self.add(layers, "ring", cx, cy, radius, width)

    def polygon(self, layers, points):
        self.add(layers, "poly", points)

    def disc(self, layers, cx, cy, radius):
        self.add(layers, "disc", cx, cy, radius)

    def render(self, layer):
        """The layer's coverage at page resolution, 0..255, or None when empty."""
        ops = [(kind, args) for layers, kind, args in self.ops if layer in layers]
        if not ops:
            return None
        x0, y0, x1, y1 = self.box
        f, off = self.scale, self.offset
        image = Image.new("L", ((x1 - x0) * f, (y1 - y0) * f), 0)
        draw = ImageDraw.Draw(image)

        def at(x, y):
            return ((x - x0 + off) * f, (y - y0 + off) * f)

        for kind, args in ops:
            if kind == "rect":
                (ax, ay), (bx, by) = at(args[0], args[1]), at(args[2], args[3])
                draw.rectangle([round(ax), round(ay), round(bx) - 1, round(by) - 1], fill=255)
            elif kind == "poly":
                draw.polygon([at(x, y) for x, y in args[0]], fill=255)
            elif kind == "ring":
                cx, cy, r, w = args
                outer = r + w / 2
                (ax, ay), (bx, by) = at(cx - outer, cy - outer), at(cx + outer, cy + outer)
                draw.ellipse([ax, ay, bx, by], outline=255, width=max(1, round(w * f)))
            elif kind == "disc":
                cx, cy, r = args
                (ax, ay), (bx, by) = at(cx - r, cy - r), at(cx + r, cy + r)
                draw.ellipse([ax, ay, bx, by], fill=255)
        if f > 1:
            image = image.reduce(f)
        return np.asarray(image)


INK, TRUTH, SPOT = "ink", "truth", "spot"
BOTH = (INK, TRUTH)


class Page:
    def __init__(self, width, height, gap, seed):
        self.width, self.height, self.gap = width, height, gap
        self.rng = random.Random(seed)
        s = width / 4960
        self.thin = max(1, round(3 * s))
        self.mid = max(2, round(8 * s))
        self.thick = max(3, round(16 * s))
        self.border = max(2, round(8 * s))
        self.dot = max(2, round(5 * s))
        self.panels = []
        self.hints = []  # (x, y, radius, rgb)
        self.markers = []  # (x, y, tag, optional)
        self.crops = {}  # picture name: page box

    def panel(self, box, antialiased, name):
        panel = Panel(box, antialiased)
        x0, y0, x1, y1 = box
        b = self.border
        self.mark(x0 + b + 2, y0 + b + 2, f"{name} panel's paper")
        for r in ((x0, y0, x1, y0 + b), (x0, y1 - b, x1, y1), (x0, y0, x0 + b, y1), (x1 - b, y0, x1, y1)):
            panel.rect(BOTH, *r)
        self.panels.append(panel)
        return panel

    def mark(self, x, y, tag, optional=False):
        self.markers.append((int(x), int(y), tag, optional))


def ladder_gaps(gap):
    return sorted({round(2 * gap * i / LADDER_STEPS) for i in range(LADDER_STEPS + 1)})


def draw_ladder(page, box, antialiased, width):
    mode = f"{'anti-aliased' if antialiased else 'aliased'} {'thick' if width >= page.thick else 'thin'}"
    panel = page.panel(box, antialiased, f"{mode} ladder")
    x0, y0, x1, y1 = box
    gaps = ladder_gaps(page.gap)
    pad = page.border * 3
    column = (x1 - x0 - 2 * pad) / len(gaps)
    row = (y1 - y0 - 2 * pad) / 3
    half = int(0.55 * min(column, row)) // 2
    if antialiased and width >= page.thick:
        # Gaps up to a little past --gap: closed ones, then the first left open.
        shown = sum(1 for g in gaps if g <= page.gap) + 1
        page.crops["gaps"] = (x0, y0, min(x1, round(x0 + pad + shown * column)), y1)
    o = width // 2
    for i, g in enumerate(gaps):
        cx = int(x0 + pad + (i + 0.5) * column)
        wide = g > page.gap
        # A square whose top side has the gap in its middle.
        cy = int(y0 + pad + 0.5 * row)
        left, right, top, bottom = cx - half - o, cx + half - o + width, cy - half - o, cy + half - o + width
        start = cx - g // 2
        if g:
            panel.rect((INK,), left, top, start, top + width)
            panel.rect((INK,), start + g, top, right, top + width)
            panel.rect((TRUTH,), left, top, right, top + width)
        else:
            panel.rect(BOTH, left, top, right, top + width)
        for r in ((left, bottom - width, right, bottom), (left, top, left + width, bottom),
                  (right - width, top, right, bottom)):
            panel.rect(BOTH, *r)
        page.mark(cx, cy, f"{mode} square, gap {g}", wide)
        # A diamond with the gap in its upper right side.
        cy = int(y0 + pad + 1.5 * row)
        r = half * 1.2
        corners = [(cx, cy - r), (cx + r, cy), (cx, cy + r), (cx - r, cy)]
        for k in range(1, 4):
            panel.stroke(BOTH, corners[k], corners[(k + 1) % 4], width)
        (ax, ay), (bx, by) = corners[0], corners[1]
        if g:
            mx, my, d = (ax + bx) / 2, (ay + by) / 2, g / 2 / math.sqrt(2)
            panel.stroke((INK,), corners[0], (mx - d, my - d), width, cap1=False)
            panel.stroke((INK,), (mx + d, my + d), corners[1], width, cap0=False)
            panel.stroke((TRUTH,), corners[0], corners[1], width)
        else:
            panel.stroke(BOTH, corners[0], corners[1], width)
        page.mark(cx, cy, f"{mode} diamond, gap {g}", wide)
        # A square split by a wall that stops short of its bottom side.
        cy = int(y0 + pad + 2.5 * row)
        left, right, top, bottom = cx - half - o, cx + half - o + width, cy - half - o, cy + half - o + width
        for r in ((left, top, right, top + width), (left, bottom - width, right, bottom),
                  (left, top, left + width, bottom), (right - width, top, right, bottom)):
            panel.rect(BOTH, *r)
        panel.rect((INK,), cx - o, top + width, cx - o + width, bottom - width - g)
        panel.rect((TRUTH,), cx - o, top + width, cx - o + width, bottom - width)
        page.mark(cx - half / 2 - o / 2, cy, f"{mode} walled square, left half, gap {g}")
        page.mark(cx + half / 2 + o / 2 + 1, cy, f"{mode} walled square, right half, gap {g}", wide)


def draw_hatching(page, box):
    panel = page.panel(box, True, "hatching")
    x0, y0, x1, y1 = box
    b, n, gap = page.border, 8, page.gap
    width = x1 - x0
    spacings = [max(page.thin + 2, 0.6 * gap), max(page.thin + 2, gap), 1.6 * gap]
    widths = [page.thin, page.mid, page.thin]
    # Combs hanging off the left border, one per third of the panel.
    for k, (spacing, w) in enumerate(zip(spacings, widths)):
        top = y0 + (y1 - y0) * (k + 0.25) / 3
        for i in range(n):
            y = top + i * spacing
            panel.stroke(BOTH, (x0 + b / 2, y), (x0 + b + 0.4 * width, y), w, cap0=False, cap1=False)
    # Floating groups, slanted, on the right.
    for k, (spacing, w) in enumerate(zip(spacings, widths)):
        cx, cy = x0 + 0.75 * width, y0 + (y1 - y0) * (k + 0.5) / 3
        length = 0.18 * width
        for i in range(n):
            t = (i - (n - 1) / 2) * spacing
            # Offset along the normal of the 45 degree direction.
            px, py = cx + t / math.sqrt(2), cy - t / math.sqrt(2)
            d = length / 2 / math.sqrt(2)
            panel.stroke(BOTH, (px - d, py - d), (px + d, py + d), w, cap0=False, cap1=False)


def draw_speed_lines(page, box):
    panel = page.panel(box, True, "speed lines")
    x0, y0, x1, y1 = box
    gap, b = page.gap, page.border
    width, height = x1 - x0, y1 - y0
    # A burst whose inner tips crowd closer than a gap.
    count = 48
    inner = 0.7 * gap * count / (2 * math.pi)
    cx, cy = x0 + 0.28 * width, y0 + 0.5 * height
    outer = min(0.25 * width, 0.4 * height)
    for i in range(count):
        a = 2 * math.pi * i / count
        panel.wedge(BOTH, (cx + outer * math.cos(a), cy + outer * math.sin(a)),
                    (cx + inner * math.cos(a), cy + inner * math.sin(a)), page.mid)
    # Lines hanging off the right border, tapering to free tips.
    y = y0 + b + 3 * gap
    while y < y1 - b - 3 * gap:
        length = page.rng.uniform(0.2, 0.4) * width
        panel.wedge(BOTH, (x1 - b / 2, y), (x1 - b - length, y), page.mid)
        y += page.rng.uniform(0.8, 1.4) * gap + page.mid


def draw_spots(page, box):
    panel = page.panel(box, True, "spot blacks")
    x0, y0, x1, y1 = box
    width, height = x1 - x0, y1 - y0
    spot = (INK, SPOT)
    # A free mass of black with a strand of hair leaving it.
    cx, cy, rx, ry = x0 + 0.27 * width, y0 + 0.32 * height, 0.16 * width, 0.2 * height
    points = [(cx + rx * math.cos(a) * (1 + 0.15 * math.sin(3 * a)), cy + ry * math.sin(a))
              for a in np.linspace(0, 2 * math.pi, 60, endpoint=False)]
    panel.polygon(spot, points)
    page.mark(cx, cy, "free spot black")
    panel.stroke(BOTH, (cx + rx * 0.9, cy + ry * 0.3), (cx + rx * 2.0, cy + ry * 0.9), page.thin)
    # A shadow resting on the bottom border.
    b = page.border
    shadow = [(x0 + 0.45 * width, y1 - b / 2), (x0 + 0.95 * width, y1 - b / 2),
              (x0 + 0.9 * width, y0 + 0.72 * height), (x0 + 0.62 * width, y0 + 0.8 * height)]
    panel.polygon(spot, shadow)
    page.mark(x0 + 0.8 * width, y0 + 0.9 * height, "shadow on the border")
    # An eye: a pupil inside a thin ring.
    ex, ey, er = x0 + 0.72 * width, y0 + 0.3 * height, 0.14 * min(width, height * 1.5)
    panel.ring(BOTH, ex, ey, er, page.thin)
    panel.disc(spot, ex, ey, 0.45 * er)
    page.mark(ex, ey, "pupil")
    page.mark(ex + 0.72 * er, ey, "eye white")


def segment_distance(p, a, b):
    (px, py), (ax, ay), (bx, by) = p, a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def segments_distance(a, b, c, d):
    # Segments that cross are at distance 0; these are only ever compared
    # against a positive clearance, so sampling the crossing test is enough.
    def side(p, q, r):
        return (q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0])

    if side(a, b, c) * side(a, b, d) < 0 and side(c, d, a) * side(c, d, b) < 0:
        return 0.0
    return min(segment_distance(a, c, d), segment_distance(b, c, d), segment_distance(c, a, b),
               segment_distance(d, a, b))


def draw_circles(page, box, antialiased, with_crop):
    mode = "anti-aliased" if antialiased else "aliased"
    panel = page.panel(box, antialiased, f"{mode} circles")
    x0, y0, x1, y1 = box
    rng, gap, b = page.rng, page.gap, page.border
    clear = 3 * gap
    circles = []  # cx, cy, r, w
    for _ in range(2000):
        if len(circles) >= 45:
            break
        w = rng.choice([page.thin, page.mid, page.thick])
        r = rng.uniform(3 * gap + w, 11 * gap)
        cx, cy = rng.uniform(x0 + b + clear + r + w, x1 - b - clear - r - w), rng.uniform(
            y0 + b + clear + r + w, y1 - b - clear - r - w)
        if all(math.hypot(cx - ox, cy - oy) > r + orr + (w + ow) / 2 + clear for ox, oy, orr, ow in circles):
            circles.append((cx, cy, r, w))
    for i, (cx, cy, r, w) in enumerate(circles):
        panel.ring(BOTH, cx, cy, r, w)
        page.mark(cx + (r + 0.45 * r) / 2 if r >= 6 * gap else cx, cy, f"{mode} circle {i}")
        if r >= 6 * gap:
            panel.ring(BOTH, cx, cy, 0.45 * r, page.thin)
            page.mark(cx, cy, f"{mode} circle {i}, inner")
        if i % 3 == 0:
            page.hints.append((cx, cy, page.dot, HINT_COLOURS[(i // 3) % len(HINT_COLOURS)]))
    strokes = []
    for _ in range(2000):
        if len(strokes) >= 8:
            break
        w = rng.choice([page.thin, page.mid, page.thick])
        length = rng.uniform(0.12, 0.3) * (x1 - x0)
        a = rng.uniform(0, math.pi)
        ax, ay = rng.uniform(x0 + b + clear, x1 - b - clear), rng.uniform(y0 + b + clear, y1 - b - clear)
        bx, by = ax + length * math.cos(a), ay + length * math.sin(a)
        if not (x0 + b + clear < bx < x1 - b - clear and y0 + b + clear < by < y1 - b - clear):
            continue
        if any(segment_distance((cx, cy), (ax, ay), (bx, by)) < r + (cw + w) / 2 + clear
               for cx, cy, r, cw in circles):
            continue
        if any(segments_distance((ax, ay), (bx, by), c, d) < (w + sw) / 2 + clear for c, d, sw in strokes):
            continue
        strokes.append(((ax, ay), (bx, by), w))
        panel.stroke(BOTH, (ax, ay), (bx, by), w, cap0=False, cap1=False)
    for _ in range(2000):
        px, py = rng.uniform(x0 + b + clear, x1 - b - clear), rng.uniform(y0 + b + clear, y1 - b - clear)
        if all(math.hypot(px - cx, py - cy) > r + w + clear for cx, cy, r, w in circles) and all(
                segment_distance((px, py), a, c) > w + clear for a, c, w in strokes):
            page.hints.append((px, py, page.dot, HINT_COLOURS[-1]))
            break
    if with_crop:
        side = min(x1 - x0, y1 - y0) // 2
        page.crops["circles"] = (x0, y0, x0 + side, y0 + side)


def draw_page(width, height, gap, seed):
    page = Page(width, height, gap, seed)
    mx, gutter = round(0.03 * width), round(0.02 * width)
    half = (width - 2 * mx - gutter) // 2
    third = (width - 2 * mx - 2 * gutter) // 3
    columns2 = [(mx, mx + half), (width - mx - half, width - mx)]
    columns3 = [(mx + k * (third + gutter), mx + k * (third + gutter) + third) for k in range(3)]
    rows = [(0.02, 0.22), (0.23, 0.43), (0.44, 0.64), (0.65, 0.98)]
    rows = [(round(a * height), round(b * height)) for a, b in rows]
    for row, antialiased in ((rows[0], False), (rows[1], True)):
        for (cx0, cx1), w in zip(columns2, (page.thin, page.thick)):
            draw_ladder(page, (cx0, row[0], cx1, row[1]), antialiased, w)
    draw_hatching(page, (columns3[0][0], rows[2][0], columns3[0][1], rows[2][1]))
    draw_speed_lines(page, (columns3[1][0], rows[2][0], columns3[1][1], rows[2][1]))
    draw_spots(page, (columns3[2][0], rows[2][0], columns3[2][1], rows[2][1]))
    draw_circles(page, (columns2[0][0], rows[3][0], columns2[0][1], rows[3][1]), False, False)
    draw_circles(page, (columns2[1][0], rows[3][0], columns2[1][1], rows[3][1]), True, True)
    return page


def render(page):
    """The page's RGB pixels, truth-line mask and spot-black mask."""
    h, w = page.height, page.width
    layers = {name: np.zeros((h, w), dtype=np.uint8) for name in (INK, TRUTH, SPOT)}
    for panel in page.panels:
        x0, y0, x1, y1 = panel.box
        for name, plane in layers.items():
            tile = panel.render(name)
            if tile is not None:
                np.maximum(plane[y0:y1, x0:x1], tile, out=plane[y0:y1, x0:x1])
    paper = 255 - layers[INK]
    rgb = np.repeat(paper[:, :, None], 3, axis=2)
    del paper
    for cx, cy, r, colour in page.hints:
        # A brush dot: anti-aliased coverage over whatever is there.
        x0, y0 = int(cx - r - 2), int(cy - r - 2)
        size = int(2 * r + 5)
        tile = Image.new("L", (size * SUPERSAMPLE, size * SUPERSAMPLE), 0)
        f = SUPERSAMPLE
        ImageDraw.Draw(tile).ellipse([(cx - r - x0) * f, (cy - r - y0) * f, (cx + r - x0) * f, (cy + r - y0) * f],
                                     fill=255)
        alpha = np.asarray(tile.reduce(f), dtype=np.float64)[:, :, None] / 255
        area = rgb[y0:y0 + size, x0:x0 + size]
        area[:] = np.round(area * (1 - alpha) + np.array(colour) * alpha).astype(np.uint8)
    return rgb, layers[TRUTH] >= 128, layers[SPOT] >= 128


def run_child(argv, log):
    """Exit code, wall seconds, CPU seconds and peak resident MB of one child."""
    started = time.monotonic()
    with open(log, "wb") as out:
        child = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    return child.returncode, time.monotonic() - started, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def gmic_args(gap, min_region):
    return ",".join(str(v) for v in [0, 95, 0, 0, 0, 255, 100, 0, 75, 2, min(256, 3 * gap), min(256, 2 * gap), 90, 1,
                                     min(100, min_region), 1, 0])


def tool_command(tool, args, page_path, out, regions, gap, min_region):
    if tool == "vandrel":
        return [args.tool, "autoflat", page_path, "-o", out, "--regions", regions, "--gap", str(gap),
                "--min-region", str(min_region), "--overwrite", "-q"]
    return ["gmic", "-v", "-1", page_path, "fx_colorize_lineart_smart", args.gmic_args or gmic_args(gap, min_region),
            "k[1]", "cut", "0,255", "o", out]


def describe(region, tags, boxes):
    if region <= 0:
        return "the lines"
    if region in tags:
        return tags[region]
    box = boxes[region - 1]
    if box is None:
        return f"region {region}"
    return f"region at ({(box[1].start + box[1].stop) // 2}, {(box[0].start + box[0].stop) // 2})"


def save_pictures(folder, name, page_rgb, out_rgb, crops, tool):
    os.makedirs(folder, exist_ok=True)
    for what, (x0, y0, x1, y1) in crops.items():
        scale = min(1.0, 640 / (x1 - x0))
        size = (round((x1 - x0) * scale), round((y1 - y0) * scale))
        before = os.path.join(folder, f"autoflat-{name}-{what}-lineart.png")
        Image.fromarray(page_rgb[y0:y1, x0:x1]).resize(size, Image.LANCZOS).save(before, optimize=True)
        # Nearest keeps the flats flat: no blended colours at region edges.
        Image.fromarray(out_rgb[y0:y1, x0:x1]).resize(size, Image.NEAREST).save(
            os.path.join(folder, f"autoflat-{name}-{what}-{tool}.png"), optimize=True)


def bench_size(args, folder, name):
    width, height = SIZES[name]
    gap = args.gap or max(2, min(64, round(min(width, height) / 250)))
    min_region = args.min_region if args.min_region is not None else max(16, (gap // 2) ** 2)
    started = time.monotonic()
    page = draw_page(width, height, gap, args.seed)
    rgb, truth_line, spot = render(page)
    page_path = os.path.join(folder, f"{name}.png")
    Image.fromarray(rgb).save(page_path, compress_level=1)
    gt, region_count = measures.ground_truth(truth_line, spot)
    del truth_line, spot
    optional = np.zeros(region_count + 1, dtype=bool)
    tags = {}
    for x, y, tag, wide in page.markers:
        region = int(gt[y, x])
        if region:
            tags[region] = tag
            optional[region] |= wide
    hints = [(int(gt[int(y), int(x)]), colour) for x, y, _, colour in page.hints]
    boxes = ndimage.find_objects(gt)
    prepared = time.monotonic() - started
    print(f"\n{name}: {width}x{height} ({width * height / 1e6:.1f} MP), gap {gap}, min-region {min_region}, "
          f"ladder gaps {','.join(str(g) for g in ladder_gaps(gap))}; drawn and labelled in {prepared:.1f} s")
    rows, notes = [], []
    for tool in args.tools:
        out = os.path.join(folder, f"{name}-{tool}.png")
        regions_map = os.path.join(folder, f"{name}-{tool}-regions.png")
        for path in (out, regions_map):
            if os.path.exists(path):
                os.remove(path)
        argv = tool_command(tool, args, page_path, out, regions_map, gap, min_region)
        log = os.path.join(folder, f"{name}-{tool}.log")
        try:
            code, wall, cpu, peak = run_child(argv, log)
        except OSError as error:
            rows.append((tool, None, 0.0, 0.0, 0.0))
            notes.append(f"  {tool}: could not start {argv[0]}: {error.strerror}")
            continue
        if code != 0 or not os.path.exists(out):
            with open(log, errors="replace") as f:
                tail = f.read().strip().splitlines()[-1:] or [""]
            rows.append((tool, None, wall, cpu, peak))
            notes.append(f"  {tool}: failed ({code}): {tail[0][:200]}")
            continue
        with Image.open(out) as image:
            out_rgb = np.asarray(image.convert("RGB"))
        if out_rgb.shape[:2] != gt.shape:
            rows.append((tool, None, wall, cpu, peak))
            notes.append(f"  {tool}: wrote a {out_rgb.shape[1]}x{out_rgb.shape[0]} image")
            continue
        ids, colours, colour_pixels = measures.colour_ids(out_rgb)
        kept = measures.kept_counts(ids, len(colours), out_rgb, rgb)
        result = measures.score(gt, region_count, optional, min_region, ids, colours, colour_pixels, kept, hints,
                                args.close)
        del ids
        rows.append((tool, result, wall, cpu, peak))
        if args.pictures:
            save_pictures(args.pictures, name, rgb, out_rgb, page.crops, tool)
        del out_rgb
        notes.append(f"  {tool}: {result['alike_pairs']} pairs of its own region colours (hints aside) within "
                     f"CIEDE2000 {measures.ALIKE_DELTA:g} of each other, touching or not")
        for group in result["leak_groups"][:args.details]:
            notes.append(f"  {tool} leak: " + " + ".join(describe(r, tags, boxes) for r in group))
        for pixels, region in result["spurious_where"][:args.details]:
            notes.append(f"  {tool} spurious: {pixels} px in {describe(region, tags, boxes)}")
        for pixels, colour, region in result["leftover_where"][:args.details]:
            notes.append(f"  {tool} left: {pixels} px of {colour} in {describe(region, tags, boxes)}")
        for region in result["lost"][:args.details]:
            notes.append(f"  {tool} lost: {describe(region, tags, boxes)}")
        if tool == "vandrel" and not os.path.exists(regions_map):
            notes.append("  vandrel: no region map written")
    first = next((r for _, r, *_ in rows if r), None)
    if first:
        print(f"  {first['regions']} ground-truth regions, {first['required']} required, "
              f"{first['hints'][1]} hint dots")
    print(f"  {'tool':8} {'leaks':>5} {'spurious':>8} {'%':>5} {'spur px':>8} {'lost':>5} {'left px':>8} "
          f"{'closest':>7} {'<' + format(args.close, 'g'):>4} {'hints':>6} {'colours':>7} "
          f"{'wall s':>7} {'CPU s':>7} {'peak MB':>8}")
    for tool, r, wall, cpu, peak in rows:
        if r is None:
            print(f"  {tool:8} {'failed':>5} {'':>73} {wall:7.2f} {cpu:7.2f} {peak:8.0f}")
            continue
        closest = f"{r['closest_pair'][2]:.1f}" if r["closest_pair"] else "-"
        print(f"  {tool:8} {r['leaks']:5d} {r['spurious']:8d} {100 * r['spurious'] / max(1, r['regions']):5.1f} "
              f"{r['spurious_pixels']:8d} {len(r['lost']):5d} {r['leftover_pixels']:8d} {closest:>7} "
              f"{r['close_pairs']:4d} {r['hints'][0]:>3}/{r['hints'][1]:<2} {r['colours']:7d} "
              f"{wall:7.2f} {cpu:7.2f} {peak:8.0f}")
    for note in notes:
        print(note)
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", default="a4,big", help="comma list of: " + ",".join(SIZES))
    parser.add_argument("--tools", default="vandrel,gmic", help="comma list of: vandrel,gmic")
    parser.add_argument("--tool", default="build/linux/bin/vandrel", help="the vandrel program")
    parser.add_argument("--gap", type=int, default=0, help="gap to close, pixels; 0: short side / 250")
    parser.add_argument("--min-region", type=int, default=None, help="pixels; default (gap / 2)^2, at least 16")
    parser.add_argument("--close", type=float, default=10.0, help="CIEDE2000 under which touching colours count")
    parser.add_argument("--gmic-args", default=None, help="fx_colorize_lineart_smart's arguments, replacing ours")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--details", type=int, default=6, help="leaks and losses listed per tool")
    parser.add_argument("--keep", help="keep pages and outputs in this folder")
    parser.add_argument("--pictures", help="write before/after crops here")
    args = parser.parse_args()
    args.sizes = [s for s in args.sizes.split(",") if s]
    args.tools = [t for t in args.tools.split(",") if t]
    for s in args.sizes:
        if s not in SIZES:
            parser.error(f"unknown size {s}")
    for t in args.tools:
        if t not in ("vandrel", "gmic"):
            parser.error(f"unknown tool {t}")
    folder = args.keep or tempfile.mkdtemp(prefix="autoflat-bench-")
    os.makedirs(folder, exist_ok=True)
    try:
        for name in args.sizes:
            bench_size(args, folder, name)
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
