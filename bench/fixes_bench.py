#!/usr/bin/python3
"""How many fixes a flatter makes after automatic flats, and how steady their colours are.

  bench/fixes_bench.py [--size small|a4] [--seed N] [--keep DIR]
                       --tool [LABEL=]PATH [--tool [LABEL=]PATH ...]

Draws the realistic page (realistic_page.py), runs `TOOL autoflat` on it
with each tool given, and prints one column per tool.

Scoring. A truth area is a flat a flatter fills as one (see
realistic_page.py); only its scored pixels count: paper, away from the lines
that bound flats, so that where a tool melts a line does not matter. A
colour is in an area when it covers at least the page's default smallest
region (min_region) of the area's scored pixels; the colour covering most
of an area is its main colour, its share of the area's scored pixels the
area's purity.

  one colour  Areas that came out as a single colour, of all; the areas
              that did not are listed with their colour counts.
  fixes       merges + splits + recolours, where
                merges:    one per extra colour inside an area (an area with
                           n colours needs n - 1 merges);
                splits:    one per area sharing its main colour with another
                           area (a colour that is the main colour of k areas
                           needs k - 1 splits: every area is a flat of its own);
                recolours: one per pair of touching areas whose main colours
                           differ by less than CIEDE2000 20.
  purity      Pixel-weighted purity of the areas touching the page edge and
              of the others.
  least dE    The least CIEDE2000 between any two colours that are in some
              area, wherever they lie.
  dots moved  Five colour dots in five areas given with --hints: the share
              of the scored pixels outside the dotted areas whose colour
              differs from the run without dots; "taken" counts the dotted
              areas whose main colour is within CIEDE2000 1 of their dot.
  kept        The revised page (a line added and a strip erased in one
              panel) flatted with the first run's flats as `--like OLD` when
              the tool's help offers it, else as `--hints OLD`: the share of
              the scored pixels of the areas the revision does not reach that
              keep their colour.
  wall, peak  Wall seconds and peak resident MB of the plain run, from
              /usr/bin/time -v.

Every run is `TOOL autoflat PAGE -o OUT --overwrite -q` (plus --hints or
--like); gap and smallest region are the tool's defaults for the page.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import autoflat_measures as measures  # noqa: E402

RECOLOUR_DELTA = 20.0


def area_table(labels, ids, colour_count):
    """(area, colour, pixels) over the scored pixels (labels > 0)."""
    return measures.region_colour_table(labels, int(labels.max()), ids, colour_count)


def score_flats(table, areas, touching, colours, min_pixels, edge=()):
    """Fixes and purity of one flatting.

    table: (area, colour, pixels) arrays; areas: area labels scored;
    touching: pairs of area labels that meet; colours: (n, 3) RGB of each
    colour id; edge: area labels touching the page edge.
    """
    area_of, colour_of, pixels = (np.asarray(v) for v in table)
    main, count, purity, size = {}, {}, {}, {}
    significant = set()
    for area in areas:
        mine = area_of == area
        px, cs = pixels[mine], colour_of[mine]
        total = int(px.sum())
        if total == 0:
            continue
        order = np.argsort(-px, kind="stable")
        main[area] = int(cs[order[0]])
        purity[area] = float(px[order[0]]) / total
        size[area] = total
        big = cs[px >= min_pixels]
        count[area] = max(1, len(big))
        significant.update(int(c) for c in big)
        significant.add(main[area])
    merges = sum(n - 1 for n in count.values())
    sharers = np.bincount(np.array(list(main.values()), dtype=np.int64), minlength=len(colours))
    splits = int(np.sum(np.maximum(sharers - 1, 0)))
    lab = measures.srgb_to_lab(np.asarray(colours, dtype=np.uint8))
    recolours = 0
    for a, b in touching:
        if a in main and b in main and main[a] != main[b]:
            if measures.ciede2000(lab[main[a]], lab[main[b]]) < RECOLOUR_DELTA:
                recolours += 1
    used = np.array(sorted(significant), dtype=np.int64)
    least = None
    if used.size > 1:
        d = measures.ciede2000(lab[used][:, None, :], lab[used][None, :, :])
        d[np.arange(used.size), np.arange(used.size)] = np.inf
        least = float(d.min())

    def weighted(group):
        total = sum(size[a] for a in group)
        return sum(purity[a] * size[a] for a in group) / total if total else None

    edge = set(edge)
    return {
        "one_colour": sum(1 for n in count.values() if n == 1), "areas": len(count), "colours_per_area": count,
        "merges": merges, "splits": splits, "recolours": recolours, "fixes": merges + splits + recolours,
        "edge_purity": weighted([a for a in size if a in edge]),
        "inner_purity": weighted([a for a in size if a not in edge]), "least_delta": least,
    }


def kept_share(before, after, mask):
    """Share of the mask's pixels whose RGB is the same in both images."""
    total = int(mask.sum())
    if total == 0:
        return None
    same = np.all(before == after, axis=-1) & mask
    return int(same.sum()) / total


def dots_taken(flats, labels, dots):
    """Dots whose area's main colour is within CIEDE2000 1 of the dot's."""
    taken = 0
    for dot in dots:
        rgb = flats[labels == dot["area"]]
        if not len(rgb):
            continue
        values, counts = np.unique(rgb, axis=0, return_counts=True)
        main = values[np.argmax(counts)]
        lab = measures.srgb_to_lab(np.array([main, dot["rgb"]], dtype=np.uint8))
        taken += bool(measures.ciede2000(lab[0], lab[1]) <= 1.0)
    return taken


def parse_time(text):
    """Wall seconds and peak resident MB from /usr/bin/time -v's report."""
    wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", text)
    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", text)
    seconds = None
    if wall:
        h, m, s = wall.groups()
        seconds = int(h or 0) * 3600 + int(m) * 60 + float(s)
    return seconds, int(peak.group(1)) / 1024 if peak else None


def run(tool, page, out, extra=()):
    argv = ["/usr/bin/time", "-v", tool, "autoflat", page, "-o", out, "--overwrite", "-q", *extra]
    done = subprocess.run(argv, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(argv)} failed:\n{done.stderr[-2000:]}")
    wall, peak = parse_time(done.stderr)
    return np.asarray(Image.open(out).convert("RGB")), wall, peak


def accepts_like(tool):
    done = subprocess.run([tool, "autoflat", "--help"], capture_output=True, text=True)
    return "--like" in done.stdout + done.stderr


def write_dots(path, width, height, dots, radius):
    image = Image.new("RGB", (width, height), (255, 255, 255))
    draw = ImageDraw.Draw(image)
    for dot in dots:
        x, y = dot["x"], dot["y"]
        draw.ellipse([x - radius, y - radius, x + radius, y + radius], fill=tuple(dot["rgb"]))
    image.save(path)


def bench_tool(tool, label, stem, info, labels, folder):
    areas = [a["label"] for a in info["areas"]]
    scored = np.isin(labels, areas)
    labels = np.where(scored, labels, 0)
    touching = [tuple(p) for p in info["touching"]]
    edge = [a["label"] for a in info["areas"] if a["edge"]]
    out = os.path.join(folder, f"{label}-flats.png")
    flats, wall, peak = run(tool, stem + ".png", out)
    ids, colours, _ = measures.colour_ids(flats)
    result = score_flats(area_table(labels, ids, len(colours)), areas, touching, colours, info["min_region"], edge)
    result.update(wall=wall, peak=peak)
    del ids

    dots = os.path.join(folder, "dots.png")
    write_dots(dots, info["width"], info["height"], info["dots"], max(3, round(info["width"] / 4960 * 12)))
    dotted, _, _ = run(tool, stem + ".png", os.path.join(folder, f"{label}-dotted.png"), ["--hints", dots])
    outside = scored & ~np.isin(labels, [d["area"] for d in info["dots"]])
    result["dots_moved"] = 1 - kept_share(flats, dotted, outside)
    result["dots_taken"] = dots_taken(dotted, labels, info["dots"])
    del dotted, outside

    how = "--like" if accepts_like(tool) else "--hints"
    revised, _, _ = run(tool, stem + "-revised.png", os.path.join(folder, f"{label}-revised.png"), [how, out])
    untouched = scored & ~np.isin(labels, info["revision_changes"])
    result["kept"] = kept_share(flats, revised, untouched)
    result["kept_how"] = how
    return result


def name_areas(info):
    return {a["label"]: a["name"] for a in info["areas"]}


def show(results, info):
    labels = list(results)
    rows = [
        ("areas one colour", lambda r: f"{r['one_colour']}/{r['areas']}"),
        ("fixes", lambda r: str(r["fixes"])),
        ("  merges", lambda r: str(r["merges"])),
        ("  splits", lambda r: str(r["splits"])),
        ("  recolours (<dE 20)", lambda r: str(r["recolours"])),
        ("purity, edge areas", lambda r: f"{r['edge_purity']:.4f}"),
        ("purity, inner areas", lambda r: f"{r['inner_purity']:.4f}"),
        ("least dE00", lambda r: "-" if r["least_delta"] is None else f"{r['least_delta']:.2f}"),
        ("dots: moved outside", lambda r: f"{100 * r['dots_moved']:.2f}%"),
        ("dots: taken", lambda r: f"{r['dots_taken']}/5"),
        ("revision: kept", lambda r: f"{100 * r['kept']:.2f}% ({r['kept_how']})"),
        ("wall s", lambda r: f"{r['wall']:.2f}"),
        ("peak MB", lambda r: f"{r['peak']:.0f}"),
    ]
    width = max(24, *(len(label) + 2 for label in labels))
    print(f"{'':24}" + "".join(f"{label:>{width}}" for label in labels))
    for title, cell in rows:
        print(f"{title:24}" + "".join(f"{cell(results[label]):>{width}}" for label in labels))
    names = name_areas(info)
    for label in labels:
        split = {a: n for a, n in results[label]["colours_per_area"].items() if n > 1}
        listed = ", ".join(f"{names[a]} {n}" for a, n in sorted(split.items(), key=lambda kv: -kv[1]))
        print(f"{label}: areas in several colours: {listed or 'none'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tool", action="append", required=True, help="[LABEL=]PATH of a vandrel program")
    parser.add_argument("--size", default="small", choices=["small", "a4"])
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--keep", default=None, help="keep the page and the flats in this folder")
    args = parser.parse_args()

    import realistic_page
    folder = args.keep or tempfile.mkdtemp(prefix="fixes-bench-")
    os.makedirs(folder, exist_ok=True)
    stem, info = realistic_page.build(args.size, args.seed, folder)
    labels = np.asarray(Image.open(stem + "-truth.png")).astype(np.int32)
    print(f"{args.size}: {info['width']}x{info['height']}, gap {info['gap']}, {len(info['areas'])} areas, "
          f"{len(info['touching'])} touching pairs, revision reaches {len(info['revision_changes'])} areas")
    results = {}
    for k, spec in enumerate(args.tool):
        label, _, path = spec.rpartition("=")
        label = label or f"tool {k + 1}"
        results[label] = bench_tool(path, label.replace(" ", "-"), stem, info, labels, folder)
    show(results, info)
    if not args.keep:
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        os.rmdir(folder)


if __name__ == "__main__":
    main()
