#!/usr/bin/python3
"""Layered results read back by readers we did not write: psd-tools, GIMP
and Krita run headless, and for OpenRaster Python's zip reader with PIL.
Each layer must hold, pixel for pixel, what the tool writes as a flat
result (the flats) or what it was given (the line art), with its name,
blend mode and visibility; the merged page must be the line art multiplied
over the flats.

    read_layered.py VANDREL WORKDIR

Which reader opened which file is printed, one line a check.

Exits 77 (skipped) when a reader is not installed.
"""
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

try:
    import numpy as np
    import io

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
        layers = [("Flats", "normal", True, pixels(path(f"{stem}-flats.{flats_ext}"))),
                  ("Line art", "multiply", True, line_art)]
        cases.append((f"{stem}.psd", mode, layers))
        if mode != "CMYK":
            run("autoflat", path(art), "--layers", "ora", "-o", path(f"{stem}.ora"))
            cases.append((f"{stem}.ora", mode, layers))
    run("autoflat", path("art.png"), "--hints", path("hints.png"), "-o", path("hinted-flats.png"))
    run("autoflat", path("art.png"), "--hints", path("hints.png"), "--layers", "psd", "-o", path("hinted.psd"))
    run("autoflat", path("art.png"), "--hints", path("hints.png"), "--layers", "ora", "-o", path("hinted.ora"))
    layers = [("Flats", "normal", True, pixels(path("hinted-flats.png"))),
              ("Line art", "multiply", True, pixels(path("art.png"), "RGB")),
              ("Hints", "normal", False, pixels(path("hints.png")))]
    cases += [("hinted.psd", "RGB", layers), ("hinted.ora", "RGB", layers)]
    for page, ext, mode in [("page.png", "png", "RGB"), ("page_cmyk.tif", "tif", "CMYK")]:
        stem = page.split(".")[0]
        run("flat", path(page), "-o", path(f"{stem}-flat.{ext}"))
        run("flat", path(page), "--layers", "psd", "-o", path(f"{stem}-flat.psd"))
        layers = [("Flats", "normal", True, pixels(path(f"{stem}-flat.{ext}"))),
                  ("Line art", "multiply", True, pixels(path(page)))]
        cases.append((f"{stem}-flat.psd", mode, layers))
        if mode != "CMYK":
            run("flat", path(page), "--layers", "ora", "-o", path(f"{stem}-flat.ora"))
            cases.append((f"{stem}-flat.ora", mode, layers))
    return cases


def multiplied(layers, mode):
    """The visible layers merged, the top one on Multiply: in light values
    (255 - ink for CMYK), each pixel the product of the two."""
    flats, art = [layer[3].astype(np.int64) for layer in layers[:2]]
    if mode == "CMYK":
        return 255 - ((255 - flats) * (255 - art) + 127) // 255
    return (flats * art + 127) // 255


def same_layer(got, expected):
    """`got` holds colour and alpha; an `expected` picture without alpha is
    opaque, and where one with alpha is clear the colour does not count."""
    if got.shape[:2] != expected.shape[:2]:
        return False
    colours = got.shape[2] - 1
    if expected.ndim == 2 or expected.shape[2] == colours:
        same = got[:, :, :colours] == expected.reshape(got.shape[:2] + (colours,))
        return bool((got[:, :, colours] == 255).all() and same.all())
    seen = expected[:, :, colours] > 0
    return bool((got[:, :, colours] == expected[:, :, colours]).all() and (got[seen] == expected[seen]).all())


def read_with_psd_tools(cases):
    for name, mode, layers in cases:
        if not name.endswith(".psd"):
            continue
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
    rgb = [case for case in cases if case[1] != "CMYK" and case[0].endswith(".psd")]
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
            check(same_layer(got, expected), f"GIMP: {name}: {lname} pixels")
        if name == "art.psd":
            check(abs(float(lines[-1]) - 300) < 0.01, "GIMP: art.psd: 300 dpi kept")


def read_with_krita(cases):
    if not shutil.which("kritarunner"):
        check(False, "Krita is installed (scripts/install-deps.sh --all)")
        return
    # Krita builds its resources on its first start in a home folder (close
    # to a minute): its home is kept beside the work folder between runs.
    home = WORK.rstrip("/") + "-krita-home"
    os.makedirs(os.path.join(home, "runtime"), exist_ok=True)
    os.chmod(os.path.join(home, "runtime"), 0o700)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
               XDG_CACHE_HOME=home + "/cache", XDG_RUNTIME_DIR=home + "/runtime", QT_QPA_PLATFORM="offscreen",
               PYTHONPATH=os.path.dirname(os.path.abspath(__file__)),
               VANDREL_LAYERED_FILES=":".join(path(case[0]) for case in cases))
    subprocess.run(["kritarunner", "-s", "krita_reader", "-f", "main"], env=env, capture_output=True, timeout=300)
    for name, mode, layers in cases:
        out = path(name) + ".krita"
        try:
            lines = open(os.path.join(out, "stack.txt")).read().splitlines()
        except OSError:
            check(False, f"Krita: {name}: opened")
            continue
        read = [line.split("\t") for line in lines[:-1]][::-1]  # bottom first
        check([r[0] for r in read] == [layer[0] for layer in layers], f"Krita: {name}: layer names")
        check([r[1] for r in read] == [layer[1] for layer in layers], f"Krita: {name}: blend modes")
        check([r[2] == "1" for r in read] == [layer[2] for layer in layers], f"Krita: {name}: visibility")
        check(all(r[3] == ("CMYKA" if mode == "CMYK" else "RGBA") for r in read), f"Krita: {name}: colour model")
        height, width = layers[0][3].shape[:2]
        for index, (lname, _, _, expected) in enumerate(layers):
            raw = np.fromfile(os.path.join(out, f"layer{len(layers) - 1 - index}.raw"), np.uint8)
            got = raw.reshape(height, width, 5 if mode == "CMYK" else 4)
            if mode != "CMYK":
                got = got[:, :, [2, 1, 0, 3]]  # Krita keeps RGB as BGRA
            check(same_layer(got, expected), f"Krita: {name}: {lname} pixels")
        if name in ("art.psd", "art.ora"):
            check(lines[-1].split()[3] == "300", f"Krita: {name}: 300 dpi kept")


def read_ora_archive(cases):
    """The OpenRaster layout by Python's zip reader and PIL's PNG reader."""
    for name, mode, layers in cases:
        if not name.endswith(".ora"):
            continue
        raw = open(path(name), "rb").read()
        archive = zipfile.ZipFile(path(name))
        first = archive.infolist()[0]
        check(first.filename == "mimetype" and first.compress_type == zipfile.ZIP_STORED and
              raw[30:38] == b"mimetype" and raw[38:54] == b"image/openraster",
              f"zip: {name}: mimetype first, stored, at its fixed place")
        check(archive.testzip() is None, f"zip: {name}: every member's checksum")
        stack = ElementTree.fromstring(archive.read("stack.xml"))
        read = list(stack.find("stack"))[::-1]
        check([e.get("name") for e in read] == [layer[0] for layer in layers], f"zip: {name}: layer names")
        ops = {"svg:src-over": "normal", "svg:multiply": "multiply"}
        check([ops.get(e.get("composite-op")) for e in read] == [layer[1] for layer in layers],
              f"zip: {name}: composite ops")
        check([e.get("visibility") == "visible" for e in read] == [layer[2] for layer in layers],
              f"zip: {name}: visibility")
        for element, (lname, _, _, expected) in zip(read, layers):
            got = np.array(Image.open(io.BytesIO(archive.read(element.get("src")))).convert("RGBA"))
            check(same_layer(got, expected), f"zip: {name}: {lname} pixels")
        merged = np.array(Image.open(io.BytesIO(archive.read("mergedimage.png"))))
        if mode == "RGB":
            want = multiplied(layers, mode)
            check(merged.shape == want.shape and (merged == want).all(), f"zip: {name}: merged page")
        thumbnail = Image.open(io.BytesIO(archive.read("Thumbnails/thumbnail.png")))
        check(max(thumbnail.size) <= 256, f"zip: {name}: thumbnail within 256 pixels")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    draw_pages()
    cases = make_cases()
    read_with_psd_tools(cases)
    read_with_gimp(cases)
    read_with_krita(cases)
    read_ora_archive(cases)
    print(f"{len(FAILURES)} failed")
    sys.exit(1 if FAILURES else 0)


if __name__ == "__main__":
    main()
