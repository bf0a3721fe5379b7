#!/usr/bin/python3
"""Gaps cut across the lines of real drawings: leaks, merges, losses and purity.

  bench/gap_cases_bench.py --drawing FILE [--drawing FILE ...] --tool [LABEL=]PATH [--tool ...]
                           [--gaps 5,9] [--cuts 60] [--seed N]

Each drawing (black line art on white, any size) is cut: --cuts discs of
each --gaps diameter are erased on line pixels where the line is narrower
than the disc, so every cut is a gap of about that width across a line. A
second set blurs the cut drawing (a 3x3 box), anti-aliased as scans are.
Each tool runs `TOOL autoflat CUT.png -o OUT --overwrite -q` with its
default gap (the drawings' gaps stay below it).

The truth is the uncut drawing: its regions are the 4-connected components
of the pixels lighter than half (luma >= 128); a region is required when it
has at least the default smallest region, (gap / 2)^2 of the tool's default
gap. Only pixels farther than 3 px from every line of the uncut drawing and
from every cut are scored. A region's main colour is the colour covering most
of its scored pixels; its purity, that colour's share.

  leaks     Required regions sharing their main colour with another required
            region: per colour, the regions having it less one.
  merged    Pairs of touching required regions (within 7 px across a line)
            with the same main colour: a leak through a cut line.
  lost      Required regions whose main colour covers less than half of them.
  purity    Pixel-weighted purity of the required regions touching the
            page's edge, and of the others.
  wall, cpu Seconds of the runs together (os.wait4 of each child).
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image
from scipy import ndimage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import autoflat_measures as measures  # noqa: E402


def cut(line, diameter, count, rng):
    """The line mask with `count` discs of `diameter` erased across thin lines."""
    depth = ndimage.distance_transform_edt(line)
    # A line pixel on its line's middle whose line the disc cuts through.
    ridge = (depth >= 1) & (depth == ndimage.maximum_filter(depth, size=3)) & (depth < diameter / 2 - 0.5)
    ys, xs = np.nonzero(ridge)
    out = line.copy()
    if not len(ys):
        return out
    r = diameter / 2
    chosen = rng.choice(len(ys), size=min(count, len(ys)), replace=False)
    yy, xx = np.mgrid[-int(r) - 1:int(r) + 2, -int(r) - 1:int(r) + 2]
    disc = (yy + 0.5) ** 2 + (xx + 0.5) ** 2 <= r * r if diameter % 2 == 0 else yy**2 + xx**2 <= r * r
    for k in chosen:
        y, x = ys[k], xs[k]
        for dy, dx in zip(yy[disc], xx[disc]):
            if 0 <= y + dy < line.shape[0] and 0 <= x + dx < line.shape[1]:
                out[y + dy, x + dx] = False
    return out


def default_gap(width, height):
    return max(2, min(64, round(min(width, height) / 250)))


def run(tool, page, out):
    start = time.monotonic()
    child = subprocess.Popen([tool, "autoflat", page, "-o", out, "--overwrite", "-q"])
    _, status, usage = os.wait4(child.pid, 0)
    if status != 0:
        raise SystemExit(f"{tool} failed on {page}")
    return np.asarray(Image.open(out).convert("RGB")), time.monotonic() - start, usage.ru_utime + usage.ru_stime


def score(truth, count, required, edge, touching, scored, flats):
    ids, colours, _ = measures.colour_ids(flats)
    gt = np.where(scored, truth, 0)
    area_of, colour_of, pixels = (np.asarray(v) for v in measures.region_colour_table(gt, count, ids, len(colours)))
    main, purity, size = {}, {}, {}
    for region in required:
        mine = area_of == region
        if not mine.any():
            continue
        px, cs = pixels[mine], colour_of[mine]
        best = int(np.argmax(px))
        main[region], size[region] = int(cs[best]), int(px.sum())
        purity[region] = float(px[best]) / size[region]
    sharing = np.bincount(np.array(list(main.values()), dtype=np.int64), minlength=len(colours))
    leaks = int(np.sum(np.maximum(sharing - 1, 0)))
    merged = sum(1 for a, b in touching if a in main and b in main and main[a] == main[b])
    lost = sum(1 for r in main if purity[r] < 0.5)

    def weighted(group):
        total = sum(size[r] for r in group)
        return sum(purity[r] * size[r] for r in group) / total if total else float("nan")

    return leaks, merged, lost, weighted([r for r in main if r in edge]), weighted([r for r in main if r not in edge])


def truth_of(line, min_region):
    truth, count = ndimage.label(~line)
    pixels = np.bincount(truth.ravel(), minlength=count + 1)
    required = {r for r in range(1, count + 1) if pixels[r] >= min_region}
    edge = set(np.unique(np.concatenate([truth[0], truth[-1], truth[:, 0], truth[:, -1]])).tolist()) - {0}
    big = np.iinfo(np.int32).max
    low = ndimage.minimum_filter(np.where(line, big, truth), size=7)
    high = ndimage.maximum_filter(truth, size=7)
    meet = (low != big) & (high != low) & (low > 0)
    pairs = {(int(a), int(b)) for a, b in np.unique(np.stack([low[meet], high[meet]], axis=-1), axis=0)}
    touching = [(a, b) for a, b in pairs if a in required and b in required]
    return truth, count, required, edge, touching


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--drawing", action="append", required=True)
    parser.add_argument("--tool", action="append", required=True, help="[LABEL=]PATH of a vandrel program")
    parser.add_argument("--gaps", default="5,9")
    parser.add_argument("--cuts", type=int, default=60)
    parser.add_argument("--seed", type=int, default=3)
    args = parser.parse_args()
    tools = [(spec.rpartition("=")[0] or f"tool {k + 1}", spec.rpartition("=")[2]) for k, spec in enumerate(args.tool)]
    totals = {label: [0, 0, 0, [], [], 0.0, 0.0] for label, _ in tools}
    folder = tempfile.mkdtemp(prefix="gap-cases-")
    print(f"{'case':34}{'tool':>10}{'leaks':>7}{'merged':>7}{'lost':>6}{'edge pur':>10}{'inner pur':>10}")
    for path in args.drawing:
        gray = np.asarray(Image.open(path).convert("L"))
        line = gray < 128
        min_region = max(16, (default_gap(*gray.shape[::-1]) // 2) ** 2)
        truth, count, required, edge, touching = truth_of(line, min_region)
        far = ndimage.distance_transform_edt(~line) > 3
        for diameter in (int(g) for g in args.gaps.split(",")):
            rng = np.random.default_rng(args.seed + diameter)
            cut_line = cut(line, diameter, args.cuts, rng)
            scored = far & ~ndimage.binary_dilation(line & ~cut_line, iterations=4)
            page = np.where(cut_line, 0, 255).astype(np.uint8)
            for aa in (False, True):
                image = ndimage.uniform_filter(page.astype(np.float32), size=3).round().astype(np.uint8) if aa else page
                name = os.path.join(folder, "cut.png")
                Image.fromarray(image).save(name)
                case = f"{os.path.basename(path)} {diameter}px{' aa' if aa else ''}"
                for label, tool in tools:
                    flats, wall, cpu = run(tool, name, os.path.join(folder, "out.png"))
                    leaks, merged, lost, edge_p, inner_p = score(truth, count, required, edge, touching, scored,
                                                                 flats)
                    t = totals[label]
                    t[0] += leaks
                    t[1] += merged
                    t[2] += lost
                    t[3].append(edge_p)
                    t[4].append(inner_p)
                    t[5] += wall
                    t[6] += cpu
                    print(f"{case:34}{label:>10}{leaks:7}{merged:7}{lost:6}{edge_p:10.4f}{inner_p:10.4f}")
    for label, t in totals.items():
        print(f"{label}: leaks {t[0]}, merged {t[1]}, lost {t[2]}, purity edge {np.nanmin(t[3]):.3f}-"
              f"{np.nanmax(t[3]):.3f}, inner {np.nanmin(t[4]):.3f}-{np.nanmax(t[4]):.3f}, "
              f"wall {t[5]:.1f} s, cpu {t[6]:.1f} s")
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    os.rmdir(folder)


if __name__ == "__main__":
    main()
