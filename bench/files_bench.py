#!/usr/bin/python3
"""The whole command on generated pages, beside a plain load and save.

Draws comic pages (flat colour panels outlined and hatched in black), writes
them as a libpng-default PNG and a deflated CMYK TIFF, then times, in one
run and on the same files:

  - `vandrel flat` on each page, and on a batch of pages through --out-dir;
  - PIL merely loading and saving each page (zlib level 6);
  - ImageMagick's convert doing the same, when it is installed.

Each figure is the quickest of --repeat runs; peak memory is the child's own
maximum resident size. Needs python3-pil (scripts/install-deps.sh --all).

  bench/files_bench.py --tool build/linux/bin/vandrel [--pages rgb,cmyk,batch]
                       [--depth 1,256,300] [--repeat 3] [--batch 8] [--keep DIR]
                       [--input FILE.png ...]
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageDraw

RGB_SIZE = (6000, 6000)  # 36 MP
A4_600DPI = (4960, 7016)  # 34.8 MP


def draw_page(size, seed):
    """Panels of flat colour, black outlines 2 to 6 pixels wide, hatching."""
    rng = random.Random(seed)
    width, height = size
    page = Image.new("RGB", size, (255, 255, 255))
    draw = ImageDraw.Draw(page)
    rows = 4
    for r in range(rows):
        top, bottom = r * height // rows + 40, (r + 1) * height // rows - 40
        cuts = [rng.randrange(width // 5, width * 2 // 5), rng.randrange(width * 3 // 5, width * 4 // 5)]
        edges = [40] + cuts + [width - 40]
        for left, right in zip(edges, edges[1:]):
            left, right = left + 20, right - 20
            colour = tuple(rng.randrange(40, 250) for _ in range(3))
            draw.rectangle((left, top, right, bottom), fill=colour, outline=(0, 0, 0), width=6)
            for _ in range(12):  # shapes of other colours inside the panel
                x0, y0 = rng.randrange(left, right - 50), rng.randrange(top, bottom - 50)
                x1, y1 = min(right, x0 + rng.randrange(50, 700)), min(bottom, y0 + rng.randrange(50, 700))
                fill = tuple(rng.randrange(40, 250) for _ in range(3))
                draw.ellipse((x0, y0, x1, y1), fill=fill, outline=(0, 0, 0), width=rng.randrange(2, 7))
            for _ in range(40):  # strokes and hatching
                x0, y0 = rng.randrange(left, right), rng.randrange(top, bottom)
                x1 = min(right, max(left, x0 + rng.randrange(-400, 400)))
                y1 = min(bottom, max(top, y0 + rng.randrange(-400, 400)))
                draw.line((x0, y0, x1, y1), fill=(0, 0, 0), width=rng.randrange(2, 7))
    return page


def cmyk_of(page):
    # Black stays pure black ink; colours as PIL separates them.
    cmyk = page.convert("CMYK")
    black = page.convert("L").point(lambda v: 255 if v == 0 else 0)
    c, m, y, k = cmyk.split()
    k.paste(255, mask=black)
    for plane in (c, m, y):
        plane.paste(0, mask=black)
    return Image.merge("CMYK", (c, m, y, k))


def run(argv, env=None):
    """Wall seconds, peak resident MB, exit status and CPU seconds of one child."""
    started = time.monotonic()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.monotonic() - started
    err = child.stderr.read().decode(errors="replace")
    child.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        print(f"  failed ({code}): {' '.join(argv)}\n{err}", file=sys.stderr)
    return seconds, usage.ru_maxrss / 1024.0, code, usage.ru_utime + usage.ru_stime


def best(repeat, make_argv, cleanup):
    runs = []
    for _ in range(repeat):
        cleanup()
        runs.append(run(make_argv()))
    return min(runs, key=lambda r: r[0]), max(r[1] for r in runs)


def pil_copy(source, target, tiff):
    save = "im.save(sys.argv[2], compression='tiff_adobe_deflate')" if tiff else "im.save(sys.argv[2])"
    return [sys.executable, "-c", f"import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nim.load()\n{save}",
            source, target]


def report(name, megapixels, raw_mb, rows):
    print(f"\n{name}: {megapixels:.1f} MP, raw {raw_mb:.0f} MB; memory aim {2.5 * raw_mb + 50:.0f} MB")
    print(f"  {'what':34} {'seconds':>8} {'MP/s':>7} {'CPU s':>7} {'peak MB':>8} {'file MB':>8}")
    for what, seconds, cpu, peak, size in rows:
        print(f"  {what:34} {seconds:8.2f} {megapixels / seconds:7.1f} {cpu:7.2f} {peak:8.0f} {size:8.2f}")
    sys.stdout.flush()


def remove(*paths):
    for path in paths:
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.remove(path)


def size_mb(path):
    return os.path.getsize(path) / 1e6 if os.path.exists(path) else 0.0


def bench_page(args, folder, source, name, tiff):
    with Image.open(source) as page:  # the header only
        megapixels = page.width * page.height / 1e6
        raw_mb = page.width * page.height * len(page.getbands()) / 2**20
    ext = ".tif" if tiff else ".png"
    out = os.path.join(folder, "out" + ext)
    rows = []
    for depth in args.depth:
        (seconds, peak, _, cpu), _ = best(args.repeat,
                                          lambda: [args.tool, "flat", "-q", source, "-o", out, "--depth", str(depth)],
                                          lambda: remove(out))
        rows.append((f"vandrel flat --depth {depth}", seconds, cpu, peak, size_mb(out)))
    (seconds, peak, _, cpu), _ = best(args.repeat, lambda: pil_copy(source, out, tiff), lambda: remove(out))
    rows.append(("PIL load + save", seconds, cpu, peak, size_mb(out)))
    if shutil.which("convert"):
        convert = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
        extra = ["-compress", "zip"] if tiff else []
        (seconds, peak, _, cpu), _ = best(args.repeat, lambda: [convert, source] + extra + [out],
                                          lambda: remove(out))
        rows.append(("ImageMagick convert", seconds, cpu, peak, size_mb(out)))
    remove(out)
    report(name, megapixels, raw_mb, rows)


def bench_batch(args, folder, sources):
    megapixels = 0.0
    largest_raw = 0.0
    for source in sources:
        with Image.open(source) as page:
            megapixels += page.width * page.height / 1e6
            largest_raw = max(largest_raw, page.width * page.height * len(page.getbands()) / 2**20)
    out = os.path.join(folder, "batch-out")
    rows = []
    for depth in args.depth:
        (seconds, peak, _, cpu), _ = best(args.repeat,
                                          lambda: [args.tool, "flat", "-q", *sources, "--out-dir", out,
                                                   "--depth", str(depth)],
                                          lambda: remove(out))
        rows.append((f"vandrel flat --out-dir, --depth {depth}", seconds, cpu, peak))
    remove(out)
    print(f"\nbatch of {len(sources)} pages: {megapixels:.1f} MP; memory aim "
          f"{3.5 * largest_raw + 50:.0f} MB (one page's worth above a single page's)")
    for what, seconds, cpu, peak in rows:
        print(f"  {what:34} {seconds:8.2f} s {megapixels / seconds:7.1f} MP/s {cpu:7.2f} CPU s {peak:8.0f} MB peak")


def make(kind, path, seed):
    """Draws one page in a process of its own, so that the benchmark's own
    memory stays small: a child starts with its parent's peak."""
    subprocess.run([sys.executable, os.path.abspath(__file__), "--make", kind, path, str(seed)], check=True)


def make_here(kind, path, seed):
    if kind == "rgb":
        draw_page(RGB_SIZE, seed).save(path)
    else:
        cmyk_of(draw_page(A4_600DPI, seed)).save(path, compression="tiff_adobe_deflate", dpi=(600, 600))


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--make":
        make_here(sys.argv[2], sys.argv[3], int(sys.argv[4]))
        return
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tool", default="build/linux/bin/vandrel")
    parser.add_argument("--pages", default="rgb,cmyk,batch")
    parser.add_argument("--depth", default="256", type=lambda s: [int(d) for d in s.split(",")])
    parser.add_argument("--repeat", default=3, type=int)
    parser.add_argument("--batch", default=8, type=int, help="pages in the batch")
    parser.add_argument("--keep", help="folder for the generated pages, kept afterwards")
    parser.add_argument("--input", nargs="*", default=[], help="PNG drawings to time as well")
    args = parser.parse_args()
    pages = args.pages.split(",")

    folder = args.keep or tempfile.mkdtemp(prefix="vandrel-files-bench-")
    os.makedirs(folder, exist_ok=True)
    try:
        print(f"{args.tool}, {os.cpu_count()} processors, quickest of {args.repeat}")
        rgb = os.path.join(folder, "page-rgb.png")
        if not os.path.exists(rgb):
            make("rgb", rgb, 1)
        if "rgb" in pages:
            bench_page(args, folder, rgb, "RGB PNG page 6000 x 6000", tiff=False)
        if "cmyk" in pages:
            cmyk = os.path.join(folder, "page-cmyk.tif")
            if not os.path.exists(cmyk):
                make("cmyk", cmyk, 2)
            bench_page(args, folder, cmyk, "CMYK TIFF page, A4 at 600 dpi (deflate)", tiff=True)
        for drawing in args.input:
            tiff = drawing.lower().endswith((".tif", ".tiff"))
            bench_page(args, folder, drawing, os.path.basename(drawing), tiff=tiff)
        if "batch" in pages:
            sources = []
            for i in range(args.batch):
                path = os.path.join(folder, f"batch-{i:02d}.png")
                if not os.path.exists(path):
                    make("rgb", path, 100 + i)
                sources.append(path)
            bench_batch(args, folder, sources)
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
