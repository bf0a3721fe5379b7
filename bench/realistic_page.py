#!/usr/bin/python3
"""A realistic comic page, drawn the same way every run, and the flats it should give.

  bench/realistic_page.py [--size small|a4] [--seed N] [--out DIR]

Writes to DIR (default .):
  page-SIZE.png          the line art, 8-bit grayscale
  page-SIZE-revised.png  the same page after a local revision: in one panel a
                         line added and a strip erased
  page-SIZE-truth.png    16-bit grayscale: the number of the flat each pixel
                         belongs to, 0 where a pixel is not scored
  page-SIZE-truth.json   the flats' names, kinds, sizes, which ones touch the
                         page edge and each other, five hint dots, and the
                         flats the revision changes

The page (small is 1240x1754, A4 at 150 dpi, for quick runs; a4 is
4960x7016, A4 at 600 dpi): five panels with borders and gutters, one of
them bleeding off the bottom and right page edges; figures (a head, a body
closed by the head's outline, an arm) with open strokes for mouths; speech
balloons with tails and block-capital lettering drawn from strokes (A, B, D,
O, P, Q, R, 4, 6, 8 and 9 enclose counters); a screentone of dots; hatching
hanging off borders and outlines and floating free; speed lines based on a
panel border whose inner ends crowd closer than a gap; scan grain (sparse
dark specks and light noise over everything). Anti-aliased shapes are drawn
at 4x and box-filtered down.

The truth is what a flatter fills as one flat: each panel's background
across its speed lines, hatching and screentone; each balloon's inside with
its letters' counters; each figure part; the gutters and margins. It is
drawn with only the lines that bound flats (panel borders, figure and
balloon outlines); a truth-line pixel is one at least half covered, and
flats are the 4-connected components of the rest. A pixel is scored when it
is paper on the page (no ink at half strength or more, no speck) and is more
than a line's width plus a little from any truth line, so that where a tool
melts a line does not count; flats with fewer scored pixels than the
default smallest region are left out.
"""

import argparse
import json
import math
import os
import random
import sys

import numpy as np
from PIL import Image
from scipy import ndimage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from autoflat_bench import BOTH, INK, TRUTH, Panel  # noqa: E402

SIZES = {"small": (1240, 1754), "a4": (4960, 7016)}
DOT_COLOURS = [(210, 40, 50), (40, 100, 210), (240, 190, 20), (40, 170, 80), (160, 50, 180)]
INKED = (INK,)

# Strokes of each glyph in a box 0.7 wide and 1 high, y down; a tuple of
# four numbers is an ellipse (cx, cy, rx, ry), a list a polyline.
GLYPHS = {
    "A": [[(0, 1), (0.35, 0), (0.7, 1)], [(0.15, 0.62), (0.55, 0.62)]],
    "B": [[(0, 1), (0, 0), (0.45, 0), (0.62, 0.12), (0.62, 0.38), (0.45, 0.5), (0, 0.5)],
          [(0, 0.5), (0.5, 0.5), (0.7, 0.63), (0.7, 0.87), (0.5, 1), (0, 1)]],
    "D": [[(0, 0), (0, 1), (0.4, 1), (0.7, 0.75), (0.7, 0.25), (0.4, 0), (0, 0)]],
    "O": [(0.35, 0.5, 0.35, 0.5)],
    "P": [[(0, 1), (0, 0), (0.5, 0), (0.7, 0.15), (0.7, 0.4), (0.5, 0.55), (0, 0.55)]],
    "Q": [(0.35, 0.5, 0.35, 0.5), [(0.4, 0.7), (0.75, 1.05)]],
    "R": [[(0, 1), (0, 0), (0.5, 0), (0.7, 0.15), (0.7, 0.4), (0.5, 0.55), (0, 0.55)], [(0.3, 0.55), (0.7, 1)]],
    "4": [[(0.55, 1), (0.55, 0), (0, 0.7), (0.75, 0.7)]],
    "6": [[(0.6, 0.02), (0.3, 0.1), (0.06, 0.45), (0.06, 0.72)], (0.36, 0.72, 0.3, 0.27)],
    "8": [(0.35, 0.25, 0.28, 0.24), (0.35, 0.74, 0.34, 0.26)],
    "9": [(0.34, 0.28, 0.3, 0.27), [(0.64, 0.28), (0.6, 0.7), (0.3, 1)]],
    "!": [[(0.3, 0), (0.3, 0.7)], [(0.3, 0.9), (0.3, 0.95)]],
}
WORDS = [["A ROAD!", "BAD PAD"], ["DROP 48"], ["BOP!", "96 ODD"], ["QB 8"], ["PROD A", "9 DAB"]]


def ellipse_points(cx, cy, rx, ry, count=72, start=0.0, stop=2 * math.pi):
    return [(cx + rx * math.cos(a), cy + ry * math.sin(a)) for a in np.linspace(start, stop, count)]


class Sheet:
    """The page's panels and what the truth needs to know about them."""

    def __init__(self, width, height, seed):
        self.width, self.height = width, height
        self.rng = random.Random(seed)
        self.s = s = width / 4960
        self.gap = max(2, min(64, round(min(width, height) / 250)))
        self.border = max(2, round(9 * s))
        self.outline = max(2, round(8 * s))
        self.thin = max(1, round(3 * s))
        self.panels = []
        self.markers = []  # (x, y, name, kind)
        self.dots = []  # (x, y, rgb)
        self.revision = []  # ops added to the revised page: (layers, kind, args, erase)

    def mark(self, x, y, name, kind):
        self.markers.append((int(x), int(y), name, kind))

    def panel(self, box, name, open_sides=()):
        panel = Panel(box, True)
        x0, y0, x1, y1 = box
        b = self.border
        sides = {"top": (x0, y0, x1, y0 + b), "bottom": (x0, y1 - b, x1, y1), "left": (x0, y0, x0 + b, y1),
                 "right": (x1 - b, y0, x1, y1)}
        for side, rect in sides.items():
            if side not in open_sides:
                panel.rect(BOTH, *rect)
        self.panels.append(panel)
        return panel

    @staticmethod
    def polyline(panel, layers, points, width, closed=False):
        """Strokes with round joins, so that corners close as a pen's would."""
        if closed:
            points = list(points) + [points[0]]
        for a, b in zip(points[:-1], points[1:]):
            if math.hypot(b[0] - a[0], b[1] - a[1]) > 1e-6:
                panel.stroke(layers, a, b, width, cap0=False, cap1=False)
        for x, y in points:
            panel.disc(layers, x, y, width / 2)

    def figure(self, panel, cx, cy, size, name):
        """A head, a body closed by the head's outline, an arm closed by the body's."""
        rx, ry, w = 0.5 * size, 0.6 * size, self.outline
        self.polyline(panel, BOTH, ellipse_points(cx, cy, rx, ry, 90), w, closed=True)
        self.mark(cx, cy - 0.3 * ry, f"{name} head", "figure")
        # Where the body meets the head, on the head's outline.
        left = (cx - 0.55 * rx, cy + ry * math.sqrt(1 - 0.55**2))
        right = (cx + 0.55 * rx, cy + ry * math.sqrt(1 - 0.55**2))
        bottom = cy + ry + 2.6 * size
        body = [left, (cx - 1.1 * size, cy + ry + 0.6 * size), (cx - 0.9 * size, bottom),
                (cx + 0.9 * size, bottom), (cx + 1.1 * size, cy + ry + 0.6 * size), right]
        self.polyline(panel, BOTH, body, w)
        self.mark(cx, cy + ry + 1.4 * size, f"{name} body", "figure")
        # An arm, a loop leaving the body's side and coming back to it.
        t0, t1 = 0.3, 0.55
        (ax, ay), (bx, by) = body[1], body[2]
        a = (ax + t0 * (bx - ax), ay + t0 * (by - ay))
        b = (ax + t1 * (bx - ax), ay + t1 * (by - ay))
        arm = [a, (a[0] - 0.9 * size, a[1] + 0.5 * size), (a[0] - 1.1 * size, b[1] + 0.6 * size),
               (b[0] - 0.7 * size, b[1] + 0.45 * size), b]
        self.polyline(panel, BOTH, arm, w)
        self.mark((a[0] + arm[2][0]) / 2 - 0.05 * size, (a[1] + arm[2][1]) / 2 + 0.25 * size, f"{name} arm", "figure")
        # An open mouth and shadow hatching hanging off the body's outline.
        panel.stroke(INKED, (cx - 0.2 * rx, cy + 0.5 * ry), (cx + 0.25 * rx, cy + 0.45 * ry), self.thin)
        step = max(self.thin + 2, 0.8 * self.gap)
        for k in range(7):
            y = cy + ry + 1.2 * size + k * step
            panel.stroke(INKED, (cx + 1.05 * size, y), (cx + 0.5 * size, y + 0.3 * size), self.thin, cap0=True)

    def letters(self, panel, x, y, text, height):
        w = max(1.2, height / 8)
        for ch in text:
            for part in GLYPHS.get(ch, []):
                if isinstance(part, tuple):
                    cx, cy, rx, ry = part
                    pts = ellipse_points(x + cx * height, y + cy * height, rx * height, ry * height, 40)
                    self.polyline(panel, INKED, pts, w, closed=True)
                else:
                    self.polyline(panel, INKED, [(x + px * height, y + py * height) for px, py in part], w)
            x += 0.95 * height

    def balloon(self, panel, cx, cy, lines, tip, name):
        h = max(9, round(60 * self.s))
        rx = 0.5 * max(len(t) for t in lines) * 0.95 * h + 1.2 * h
        ry = 0.5 * len(lines) * 1.5 * h + 1.1 * h
        # The tail leaves the outline towards the speaker, one outline in all.
        angle = math.atan2(tip[1] - cy, tip[0] - cx) % (2 * math.pi)
        spread = 0.22
        pts = ellipse_points(cx, cy, rx, ry, 96, angle + spread, angle + 2 * math.pi - spread)
        pts.append(tip)
        self.polyline(panel, BOTH, pts, max(2, round(6 * self.s)), closed=True)
        self.mark(cx - rx + 0.35 * h, cy, f"{name} balloon", "balloon")
        for k, text in enumerate(lines):
            y = cy - 0.75 * h * len(lines) + 1.5 * h * k + 0.25 * h
            self.letters(panel, cx - 0.5 * len(text) * 0.95 * h, y, text, h)

    def hatching(self, panel, x, y, length, count, step, slope, hang_from=None):
        for k in range(count):
            y0 = y + k * step
            x0 = hang_from if hang_from is not None else x
            panel.stroke(INKED, (x0, y0), (x + length, y0 + slope * length), self.thin, cap0=hang_from is None)

    def screentone(self, panel, x0, y0, x1, y1):
        pitch = max(4.0, 14 * self.s)
        r = 0.3 * pitch
        row = 0
        y = y0 + pitch / 2
        while y < y1:
            x = x0 + pitch / 2 + (pitch / 2 if row % 2 else 0)
            while x < x1:
                panel.disc(INKED, x, y, r)
                x += pitch
            y += pitch / 2 * math.sqrt(3)
            row += 1

    def speed_lines(self, panel, box, focus, count):
        """Wedges based on the border, tips on a circle where they crowd closer than a gap."""
        x0, y0, x1, y1 = box
        b = self.border
        fx, fy = focus
        inner = 0.6 * self.gap * count / (2 * math.pi)
        for k in range(count):
            a = 2 * math.pi * (k + self.rng.uniform(-0.3, 0.3)) / count
            dx, dy = math.cos(a), math.sin(a)
            # Where the ray from the focus leaves the panel.
            t = min(((x1 - b / 2 - fx) / dx) if dx > 0 else ((x0 + b / 2 - fx) / dx) if dx < 0 else 1e9,
                    ((y1 - b / 2 - fy) / dy) if dy > 0 else ((y0 + b / 2 - fy) / dy) if dy < 0 else 1e9)
            tip = inner * self.rng.uniform(1.0, 1.3)
            panel.wedge(INKED, (fx + t * dx, fy + t * dy), (fx + tip * dx, fy + tip * dy), max(2, 10 * self.s))


def draw_sheet(width, height, seed):
    sheet = Sheet(width, height, seed)
    W, H = width, height
    m, g = round(0.05 * W), round(0.025 * W)
    rows = [(round(0.04 * H), round(0.33 * H)), (round(0.33 * H) + g, round(0.62 * H)),
            (round(0.62 * H) + g, H)]
    split = round(0.6 * W)
    sheet.mark(m // 2, m // 2, "gutters and margins", "background")

    a = sheet.panel((m, rows[0][0], split, rows[0][1]), "A")
    sheet.mark(m + 3 * sheet.border, rows[0][0] + 3 * sheet.border, "panel A background", "panel")
    size = 0.045 * W
    sheet.figure(a, m + 0.25 * (split - m), rows[0][0] + 0.42 * (rows[0][1] - rows[0][0]), size, "A left")
    sheet.figure(a, m + 0.72 * (split - m), rows[0][0] + 0.48 * (rows[0][1] - rows[0][0]), size * 0.9, "A right")
    sheet.balloon(a, m + 0.48 * (split - m), rows[0][0] + 0.17 * (rows[0][1] - rows[0][0]), WORDS[0],
                  (m + 0.3 * (split - m), rows[0][0] + 0.3 * (rows[0][1] - rows[0][0])), "A first")
    sheet.hatching(a, split - 0.25 * (split - m), rows[0][1] - 0.2 * (rows[0][1] - rows[0][0]), 0.2 * (split - m),
                   9, max(sheet.thin + 2, 0.9 * sheet.gap), -0.15, hang_from=split - sheet.border / 2)

    box = (split + g, rows[0][0], W - m, rows[0][1])
    b = sheet.panel(box, "B")
    sheet.mark(box[0] + 3 * sheet.border, box[1] + 3 * sheet.border, "panel B background", "panel")
    focus = ((box[0] + box[2]) / 2, (box[1] + box[3]) / 2)
    sheet.speed_lines(b, box, focus, 110)
    tail = (focus[0] + 0.15 * (box[2] - box[0]), focus[1] + 0.1 * (box[3] - box[1]))
    sheet.balloon(b, focus[0], box[1] + 0.8 * (box[3] - box[1]), WORDS[3], tail, "B")

    box = (m, rows[1][0], W - m, rows[1][1])
    c = sheet.panel(box, "C")
    sheet.mark(box[0] + 3 * sheet.border, box[1] + 3 * sheet.border, "panel C background", "panel")
    ph = box[3] - box[1]
    sheet.screentone(c, box[0] + sheet.border, box[1] + 0.55 * ph, box[2] - sheet.border, box[3] - sheet.border)
    sheet.figure(c, box[0] + 0.62 * (box[2] - box[0]), box[1] + 0.22 * ph, 0.05 * W, "C")
    sheet.balloon(c, box[0] + 0.25 * (box[2] - box[0]), box[1] + 0.25 * ph, WORDS[2],
                  (box[0] + 0.5 * (box[2] - box[0]), box[1] + 0.2 * ph), "C")
    sheet.hatching(c, box[0] + 0.8 * (box[2] - box[0]), box[1] + 0.1 * ph, 0.12 * (box[2] - box[0]), 8,
                   max(sheet.thin + 2, 0.7 * sheet.gap), 0.6)

    box = (m, rows[2][0], split, H - m)
    d = sheet.panel(box, "D")
    sheet.mark(box[0] + 3 * sheet.border, box[1] + 3 * sheet.border, "panel D background", "panel")
    ph, pw = box[3] - box[1], box[2] - box[0]
    sheet.figure(d, box[0] + 0.3 * pw, box[1] + 0.35 * ph, 0.05 * W, "D")
    sheet.balloon(d, box[0] + 0.62 * pw, box[1] + 0.14 * ph, WORDS[1], (box[0] + 0.4 * pw, box[1] + 0.27 * ph), "D")
    sheet.hatching(d, box[0] + 0.6 * pw, box[1] + 0.62 * ph, 0.3 * pw, 10, max(sheet.thin + 2, 1.1 * sheet.gap),
                   0.1, hang_from=box[0] + 0.58 * pw)
    # The revision: a horizon line from the left border to the figure's
    # body, and a strip across the hatching erased.
    y = box[1] + 0.8 * ph
    sheet.revision.append(("stroke", (box[0] + sheet.border / 2, y), (box[0] + 0.22 * pw, y), sheet.outline))
    sheet.revision.append(("erase", box[0] + 0.7 * pw, box[1] + 0.6 * ph, box[0] + 0.73 * pw, box[1] + 0.8 * ph))

    box = (split + g, rows[2][0], W, H)
    e = sheet.panel(box, "E", open_sides=("right", "bottom"))
    sheet.mark(box[0] + 3 * sheet.border, box[1] + 3 * sheet.border, "panel E background (bleeds off the page)",
               "panel")
    pw, ph = box[2] - box[0], box[3] - box[1]
    sheet.figure(e, box[0] + 0.55 * pw, box[1] + 0.45 * ph, 0.045 * W, "E")
    sheet.balloon(e, box[0] + 0.45 * pw, box[1] + 0.16 * ph, WORDS[4], (box[0] + 0.55 * pw, box[1] + 0.33 * ph), "E")
    sheet.hatching(e, box[0] + 0.2 * pw, box[1] + 0.75 * ph, 0.25 * pw, 8, max(sheet.thin + 2, 1.3 * sheet.gap), 0.3)

    # Dots for the hints, one in each of five flats.
    picks = ["panel A background", "A first balloon", "C head", "panel D background", "E body"]
    named = {name: (x, y) for x, y, name, _ in sheet.markers}
    for name, rgb in zip(picks, DOT_COLOURS):
        x, y = named[name]
        sheet.dots.append((x, y, rgb))
    return sheet


def render_layers(sheet, revised=False):
    h, w = sheet.height, sheet.width
    ink = np.zeros((h, w), dtype=np.uint8)
    truth = np.zeros((h, w), dtype=np.uint8)
    for panel in sheet.panels:
        x0, y0, x1, y1 = panel.box
        for name, plane in ((INK, ink), (TRUTH, truth)):
            tile = panel.render(name)
            if tile is not None:
                np.maximum(plane[y0:y1, x0:x1], tile, out=plane[y0:y1, x0:x1])
    if revised:
        extra = Panel((0, 0, w, h), True)
        for op in sheet.revision:
            if op[0] == "stroke":
                extra.stroke(INKED, op[1], op[2], op[3])
        ink = np.maximum(ink, extra.render(INK))
        for op in sheet.revision:
            if op[0] == "erase":
                x0, y0, x1, y1 = (round(v) for v in op[1:])
                ink[y0:y1, x0:x1] = 0
    return ink, truth


def grain(sheet, ink, seed):
    """Scanner grain: light noise everywhere and sparse dark specks."""
    rng = np.random.default_rng(seed)
    h, w = ink.shape
    specks = np.zeros((h, w), dtype=bool)
    count = int(h * w / 40000)
    ys, xs = rng.integers(0, h, count), rng.integers(0, w, count)
    radius = max(1, round(2 * sheet.s))
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            if dx * dx + dy * dy <= radius * radius:
                specks[np.clip(ys + dy, 0, h - 1), np.clip(xs + dx, 0, w - 1)] = True
    page = 255 - ink.astype(np.int16)
    page -= rng.integers(0, 14, size=(h, w), dtype=np.int16)
    page[specks] = rng.integers(20, 90, size=int(specks.sum()), dtype=np.int16)
    return np.clip(page, 0, 255).astype(np.uint8), specks


def truth_labels(sheet, ink, truth, specks):
    """Flat numbers per pixel (0: not scored), their count, and which flats touch."""
    line = truth >= 128
    labels, count = ndimage.label(~line)
    # Flats touch when one lies within a line's width of the other.
    reach = 2 * max(sheet.border, sheet.outline) + 3
    big = np.iinfo(np.int32).max
    low = ndimage.minimum_filter(np.where(line, big, labels), size=reach)
    high = ndimage.maximum_filter(labels, size=reach)
    meet = (low != big) & (high != low)
    pairs = np.unique(np.stack([low[meet], high[meet]], axis=-1), axis=0)
    del low, high, meet
    edge = np.unique(np.concatenate([labels[0], labels[-1], labels[:, 0], labels[:, -1]]))
    margin = max(2, round(max(sheet.border, sheet.outline) / 2 + 3 * sheet.s) + 1)
    near_line = ndimage.maximum_filter(line, size=2 * margin + 1)
    scored = ~near_line & (ink < 128) & ~specks
    del near_line
    labels[~scored] = 0
    return labels, count, pairs, set(int(v) for v in edge if v)


def build(size, seed, out):
    width, height = SIZES[size]
    sheet = draw_sheet(width, height, seed)
    ink, truth = render_layers(sheet)
    page, specks = grain(sheet, ink, seed)
    labels, count, pairs, edge = truth_labels(sheet, ink, truth, specks)
    revised_ink, _ = render_layers(sheet, revised=True)
    revised, _ = grain(sheet, revised_ink, seed)
    changed_mask = ndimage.maximum_filter(revised_ink != ink, size=2 * sheet.gap + 1)
    changed = sorted(int(v) for v in np.unique(labels[changed_mask]) if v)
    del revised_ink, changed_mask, truth

    min_region = max(16, (sheet.gap // 2) ** 2)
    pixels = np.bincount(labels.ravel(), minlength=count + 1)
    names = {}
    for x, y, name, kind in sheet.markers:
        # Markers sit on paper; the nearest scored pixel names the flat.
        label = labels[y, x]
        if not label:
            window = labels[max(0, y - 8):y + 9, max(0, x - 8):x + 9]
            found = window[window > 0]
            label = int(np.bincount(found).argmax()) if found.size else 0
        if label:
            names[int(label)] = (name, kind)
    areas = []
    for label in range(1, count + 1):
        if pixels[label] < min_region:
            continue
        name, kind = names.get(label, (f"flat {label}", "other"))
        areas.append({"label": label, "name": name, "kind": kind, "pixels": int(pixels[label]),
                      "edge": label in edge})
    kept = {a["label"] for a in areas}
    dots = []
    for x, y, rgb in sheet.dots:
        dots.append({"x": x, "y": y, "rgb": list(rgb), "area": int(labels[y, x])})
    info = {
        "size": size, "width": width, "height": height, "seed": seed, "gap": sheet.gap,
        "min_region": min_region, "areas": areas,
        "touching": [[int(a), int(b)] for a, b in pairs if a in kept and b in kept],
        "dots": dots, "revision_changes": [v for v in changed if v in kept],
    }
    os.makedirs(out, exist_ok=True)
    stem = os.path.join(out, f"page-{size}")
    Image.fromarray(page).save(stem + ".png")
    Image.fromarray(revised).save(stem + "-revised.png")
    Image.fromarray(labels.astype(np.uint16)).save(stem + "-truth.png")
    with open(stem + "-truth.json", "w") as f:
        json.dump(info, f, indent=1)
    return stem, info


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--size", default="small", choices=sorted(SIZES))
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--out", default=".")
    args = parser.parse_args()
    stem, info = build(args.size, args.seed, args.out)
    print(f"{stem}.png: {info['width']}x{info['height']}, gap {info['gap']}, {len(info['areas'])} flats, "
          f"{sum(1 for a in info['areas'] if a['kind'] == 'other')} unnamed")


if __name__ == "__main__":
    main()
