#!/usr/bin/python3
"""Reads a layered file with readers the page did not write and prints what
they found as JSON: for a .psd Debian's psd-tools, for an .ora Python's zip
reader, ElementTree and PIL. Per layer: name, blend mode, visibility, size
and a SHA-256 of its RGBA pixels; then the merged page's.

    read_layered.py FILE

Exits 77 when psd-tools or PIL is missing."""
import hashlib
import io
import json
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

try:
    import numpy as np
    from PIL import Image
    from psd_tools import PSDImage
except ImportError as e:
    print(f"skipped: {e}", file=sys.stderr)
    sys.exit(77)


def digest(pixels):
    rgba = np.asarray(pixels.convert("RGBA"), dtype=np.uint8)
    return {"size": [int(rgba.shape[1]), int(rgba.shape[0])], "sha256": hashlib.sha256(rgba.tobytes()).hexdigest()}


def read_psd(path):
    psd = PSDImage.open(path)
    layers = [dict(name=layer.name, blend=layer.blend_mode.name.lower(), visible=layer.visible, **digest(layer.topil()))
              for layer in psd]
    dpi = psd.image_resources.get_data(1005)  # ResolutionInfo, 16.16 fixed point
    return {"reader": "psd-tools", "mode": psd.color_mode.name, "layers": layers, "merged": digest(psd.topil()),
            "dpi": [round(dpi.horizontal / 65536), round(dpi.vertical / 65536)] if dpi else None}


def read_ora(path):
    ops = {"svg:multiply": "multiply", "svg:src-over": "normal"}
    with zipfile.ZipFile(path) as ora:
        if ora.testzip() is not None:
            raise SystemExit(f"{path}: a member's checksum is wrong")
        stack = ElementTree.fromstring(ora.read("stack.xml"))
        layers = []
        # stack.xml lists the top layer first; the bottom one comes first here.
        for e in reversed(stack.findall("./stack/layer")):
            picture = Image.open(io.BytesIO(ora.read(e.get("src"))))
            layers.append(dict(name=e.get("name"), blend=ops.get(e.get("composite-op"), e.get("composite-op")),
                               visible=e.get("visibility") == "visible", **digest(picture)))
        merged = digest(Image.open(io.BytesIO(ora.read("mergedimage.png"))))
        return {"reader": "zipfile+PIL", "mimetype": ora.read("mimetype").decode(), "layers": layers,
                "merged": merged, "dpi": [int(stack.get("xres", 0)), int(stack.get("yres", 0))]}


path = sys.argv[1]
print(json.dumps(read_psd(path) if path.endswith(".psd") else read_ora(path)))
