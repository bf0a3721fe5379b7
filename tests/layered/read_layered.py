#!/usr/bin/python3
"""Layered results read back by readers we did not write: psd-tools, and
GIMP run headless. Each layer must hold, pixel for pixel, what the tool
writes as a flat result (the flats) or what it was given (the line art),
with its name, blend mode and visibility; the merged page must be the line
art multiplied over the flats, as the readers composite it themselves.

    read_layered.py VANDREL WORKDIR

Exits 77 (skipped) when a reader is not installed.
"""
import os
import re
import shutil
import subprocess
import sys

try:
    import numpy as np
    from PIL import Image, ImageDraw
    from psd_tools import PSDImage
except ImportError as e:
    print(f"skipped: {e} (scripts/install-deps.sh --all installs the readers)")
    sys.exit(77)

VANDREL, WORK = sys.argv[1], sys.argv[2]
FAILURES = []


def check(ok, what):
    print(("PASS: " if ok else "FAIL: ") + what)
    if not ok:
        FAILURES.append(what)


def path(name):
    return os.path.join(WORK, name)


def draw_pages():
    art = Image.new("L", (96, 64), 255)
    d = ImageDraw.Draw(art)
    d.rectangle([4, 4, 44, 58], outline=0, width=2)
    d.ellipse([50, 8, 90, 58], outline=0, width=2)
    d.line([4, 30, 44, 30], fill=100, width=2)  # a lighter line: anti-aliasing's grays
    art.save(path("art.png"), dpi=(300, 300))
    # Transparent paper with dark lines, as inking programs export it.
    rgba = Image.new("RGBA", art.size, (0, 0, 0, 0))
    rgba.putalpha(Image.eval(art, lambda v: 255 - v))
    rgba.save(path("art_rgba.png"))
    art.convert("RGB").convert("CMYK").save(path("art_cmyk.tif"), dpi=(600, 600))
    hints = Image.new("RGB", art.size, (255, 255, 255))
    hints.paste((200, 40, 40), (60, 20, 70, 30))
    hints.save(path("hints.png"))
    # A page to flat: flat colours under black lines.
    page = Image.new("RGB", art.size, (255, 255, 255))
    page.paste((90, 160, 220), (0, 0, 48, 64))
    page.paste((240, 200, 90), (48, 0, 96, 64))
    ImageDraw.Draw(page).rectangle([10, 10, 80, 50], outline=(0, 0, 0), width=3)
    page.save(path("page.png"))
    page.convert("CMYK").save(path("page_cmyk.tif"))


def run(*args):
    done = subprocess.run([VANDREL, *args, "-q", "--overwrite"], capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"vandrel {' '.join(args)} failed: {done.stderr}")


def pixels(file, mode=None):
    image = Image.open(file)
    if mode and image.mode != mode:
        image = image.convert(mode)
    return np.array(image)


# Each case: the layered file, and its layers bottom first as (name, blend,
# visible, picture the layer holds).
def make_cases():
    cases = []
    for art, flats_ext, mode in [("art.png", "png", "RGB"), ("art_rgba.png", "png", "RGBA"),
                                 ("art_cmyk.tif", "tif", "CMYK")]:
        stem = art.split(".")[0]
        run("autoflat", path(art), "-o", path(f"{stem}-flats.{flats_ext}"))
        run("autoflat", path(art), "--layers", "psd", "-o", path(f"{stem}.psd"))
        line_art = pixels(path(art), mode)
        cases.append((f"{stem}.psd", mode, [("Flats", "normal", True, pixels(path(f"{stem}-flats.{flats_ext}"))),
                                            ("Line art", "multiply", True, line_art)]))
    run("autoflat", path("art.png"), "--hints", path("hints.png"), "-o", path("hinted-flats.png"))
    run("autoflat", path("art.png"), "--hints", path("hints.png"), "--layers", "psd", "-o", path("hinted.psd"))
    cases.append(("hinted.psd", "RGB", [("Flats", "normal", True, pixels(path("hinted-flats.png"))),
                                        ("Line art", "multiply", True, pixels(path("art.png"), "RGB")),
                                        ("Hints", "normal", False, pixels(path("hints.png")))]))
    for page, ext, mode in [("page.png", "png", "RGB"), ("page_cmyk.tif", "tif", "CMYK")]:
        stem = page.split(".")[0]
        run("flat", path(page), "-o", path(f"{stem}-flat.{ext}"))
        run("flat", path(page), "--layers", "psd", "-o", path(f"{stem}-flat.psd"))
        cases.append((f"{stem}-flat.psd", mode, [("Flats", "normal", True, pixels(path(f"{stem}-flat.{ext}"))),
                                                 ("Line art", "multiply", True, pixels(path(page)))]))
    return cases


def multiplied(layers, mode):
    """The visible layers merged, the top one on Multiply: in light values
    (255 - ink for CMYK), each pixel the product of the two."""
    flats, art = [layer[3].astype(np.int64) for layer in layers[:2]]
    if mode == "CMYK":
        return 255 - ((255 - flats) * (255 - art) + 127) // 255
    return (flats * art + 127) // 255


def read_with_psd_tools(cases):
    for name, mode, layers in cases:
        psd = PSDImage.open(path(name))
        check([layer.name for layer in psd] == [layer[0] for layer in layers], f"psd-tools: {name}: layer names")
        check([layer.blend_mode.name.lower() for layer in psd] == [layer[1] for layer in layers],
              f"psd-tools: {name}: blend modes")
        check([layer.visible for layer in psd] == [layer[2] for layer in layers], f"psd-tools: {name}: visibility")
        for read, (lname, _, _, expected) in zip(psd, layers):
            got = np.array(read.topil())
            if got.ndim == 3 and expected.ndim == 3 and got.shape[2] == 4 and expected.shape[2] == 3 and mode != "CMYK":
                got = got[:, :, :3]
            check(got.shape == expected.shape and (got == expected).all(), f"psd-tools: {name}: {lname} pixels")
        merged = np.array(psd.topil())
        if mode != "RGBA":
            want = multiplied(layers, mode)
            check(merged.shape == want.shape and (merged == want).all(), f"psd-tools: {name}: merged page")
        if mode != "CMYK":
            # psd-tools' own compositing of the layers agrees with the stored page.
            composite = np.array(psd.composite())
            check(composite.shape == merged.shape and np.abs(composite.astype(int) - merged).max() <= 1,
                  f"psd-tools: {name}: its own compositing matches the merged page")
    psd = PSDImage.open(path("art_cmyk.psd"))
    info = psd.image_resources.get_data(1005)
    check(info is not None and info.horizontal / 65536 == 600 and info.vertical / 65536 == 600,
          "psd-tools: art_cmyk.psd: 600 dpi kept")


GIMP_DUMP = r"""
(define (vandrel-dump in outdir)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE in in)))
         (layers (vector->list (cadr (gimp-image-get-layers image))))
         (port (open-output-file (string-append outdir "/layers.txt")))
         (index 0))
    (for-each
      (lambda (layer)
        (let ((file (string-append outdir "/layer" (number->string index) ".png")))
          (write (list (car (gimp-item-get-name layer)) (car (gimp-layer-get-mode layer))
                       (car (gimp-item-get-visible layer))) port)
          (newline port)
          (file-png-save2 RUN-NONINTERACTIVE image layer file file 0 9 0 0 0 0 0 0 0)
          (set! index (+ index 1))))
      layers)
    (write (car (gimp-image-get-resolution image)) port)
    (newline port)
    (close-output-port port)))
"""

# GIMP's layer modes: Normal and Multiply, new and legacy.
GIMP_MODES = {28: "normal", 0: "normal", 30: "multiply", 3: "multiply"}


def read_with_gimp(cases):
    if not shutil.which("gimp"):
        check(False, "GIMP is installed (scripts/install-deps.sh --all)")
        return
    # GIMP turns CMYK into RGB through a colour profile on opening: only
    # the RGB files can be held to their pixels.
    rgb = [case for case in cases if case[1] != "CMYK"]
    calls = []
    for name, _, _ in rgb:
        out = path("gimp-" + name)
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        calls.append(f'(vandrel-dump "{path(name)}" "{out}")')
    script = "(begin " + GIMP_DUMP + " ".join(calls) + ")"
    subprocess.run(["gimp", "-i", "-d", "-f", "-b", script, "-b", "(gimp-quit 0)"], capture_output=True,
                   timeout=300, env=dict(os.environ, HOME=path("gimp-home")))
    for name, mode, layers in rgb:
        out = path("gimp-" + name)
        try:
            lines = open(os.path.join(out, "layers.txt")).read().splitlines()
        except OSError:
            check(False, f"GIMP: {name}: opened")
            continue
        # GIMP lists the top layer first.
        read = [re.fullmatch(r'\("(.*)" (\d+) (\d+)\)', line).groups() for line in lines[:-1]][::-1]
        check([r[0] for r in read] == [layer[0] for layer in layers], f"GIMP: {name}: layer names")
        check([GIMP_MODES.get(int(r[1])) for r in read] == [layer[1] for layer in layers], f"GIMP: {name}: blend modes")
        check([r[2] == "1" for r in read] == [layer[2] for layer in layers], f"GIMP: {name}: visibility")
        for index, (lname, _, _, expected) in enumerate(layers):
            got = pixels(os.path.join(out, f"layer{len(layers) - 1 - index}.png"), "RGBA")
            if expected.shape[2] == 3:
                same = (got[:, :, :3] == expected).all() and (got[:, :, 3] == 255).all()
            else:
                # Where a pixel is fully clear its colour is nobody's business.
                seen = expected[:, :, 3] > 0
                same = (got[:, :, 3] == expected[:, :, 3]).all() and (got[seen] == expected[seen]).all()
            check(same, f"GIMP: {name}: {lname} pixels")
        if name == "art.psd":
            check(abs(float(lines[-1]) - 300) < 0.01, "GIMP: art.psd: 300 dpi kept")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    draw_pages()
    cases = make_cases()
    read_with_psd_tools(cases)
    read_with_gimp(cases)
    print(f"{len(FAILURES)} failed")
    sys.exit(1 if FAILURES else 0)


if __name__ == "__main__":
    main()
