#!/usr/bin/python3
"""Layered results on a large page: what they cost beside a flat result.

Draws a 7000 x 10000 page of line art (gray) and a page to flat (RGB), and
runs, under /usr/bin/time -v, `vandrel autoflat` and `vandrel flat` writing
a PNG, then --layers psd and --layers ora. Prints each run's time and peak
resident memory, and what the layered run took beyond the flat one against
one layer of the page (the line art kept beside the flats); a layered run
over that budget is marked OVER and the program exits 1.

  bench/layered_bench.py --tool build/linux/bin/vandrel [--size 7000x10000]
                         [--commands autoflat,flat] [--keep DIR]

Needs python3-pil (scripts/install-deps.sh --all).
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw


def draw_pages(size, folder):
    """Panels outlined in black with circles in them; the RGB page has them
    filled with flat colour, as a page to flat has."""
    rng = random.Random(36)
    art = Image.new("L", size, 255)
    page = Image.new("RGB", size, (255, 255, 255))
    drawings = [ImageDraw.Draw(art), ImageDraw.Draw(page)]
    width, height = size
    step = 700
    for top in range(40, height - step, step):
        for left in range(40, width - step, step):
            box = [left, top, left + step - 60, top + step - 60]
            colour = tuple(rng.randrange(80, 250) for _ in range(3))
            drawings[1].rectangle(box, fill=colour)
            for d, ink in ((drawings[0], 0), (drawings[1], (0, 0, 0))):
                d.rectangle(box, outline=ink, width=5)
                d.ellipse([left + 100, top + 100, left + 400, top + 400], outline=ink, width=4)
    art_path, page_path = os.path.join(folder, "art.png"), os.path.join(folder, "page.png")
    art.save(art_path, dpi=(600, 600))
    page.save(page_path, dpi=(600, 600))
    return art_path, page_path


def measure(args):
    """Wall and processor seconds and peak resident kilobytes, as
    /usr/bin/time -v reports them."""
    done = subprocess.run(["/usr/bin/time", "-v", *args], capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(args)} failed:\n{done.stderr}")
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", done.stderr).group(1))
    clock = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", done.stderr)
    seconds = int(clock.group(1) or 0) * 3600 + int(clock.group(2)) * 60 + float(clock.group(3))
    cpu = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", done.stderr).group(1))
              for kind in ("User", "System"))
    return seconds, cpu, rss


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--size", default="7000x10000")
    parser.add_argument("--commands", default="autoflat,flat")
    parser.add_argument("--keep", help="leave the pages and results in this folder")
    options = parser.parse_args()
    width, height = (int(v) for v in options.size.split("x"))
    folder = options.keep or tempfile.mkdtemp(prefix="vandrel-layered-bench-")
    os.makedirs(folder, exist_ok=True)
    art, page = draw_pages((width, height), folder)
    over = False
    print(f"page {width} x {height} ({width * height / 1e6:.0f} MP)")
    for command in options.commands.split(","):
        source = art if command == "autoflat" else page
        # The layer kept beside the flats: the line art as read (gray for
        # auto flats, RGB for a page to flat).
        layer_mb = width * height * (1 if command == "autoflat" else 3) / 2**20
        base = None
        for layers in ("", "psd", "ora"):
            output = os.path.join(folder, f"{command}-out.{layers or 'png'}")
            args = [options.tool, command, source, "-o", output, "-q", "--overwrite"]
            if layers:
                args += ["--layers", layers]
            seconds, cpu, rss = measure(args)
            mb = rss / 1024
            size = os.path.getsize(output) / 2**20
            line = (f"{command:8} {layers or 'png':4} {seconds:6.1f} s ({cpu:5.1f} s processor)  "
                    f"peak {mb:7.0f} MB  file {size:6.1f} MB")
            if base is None:
                base = mb
            else:
                extra = mb - base
                within = extra <= layer_mb * 1.05
                over |= not within
                line += f"  +{extra:5.0f} MB against one layer of {layer_mb:.0f} MB: {'within' if within else 'OVER'}"
            print(line, flush=True)
    if not options.keep:
        shutil.rmtree(folder)
    sys.exit(1 if over else 0)


if __name__ == "__main__":
    main()
