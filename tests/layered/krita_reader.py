"""Run inside Krita by kritarunner: opens each file named in
VANDREL_LAYERED_FILES (separated by ':') and writes beside it, in
NAME.krita/, what Krita made of it: stack.txt (one line a layer, top first:
name, blending mode, visibility, colour model) and each layer's pixels as
Krita holds them (layerN.raw, N counted from the top)."""
import os

from krita import Krita


def dump(path):
    out = path + ".krita"
    os.makedirs(out, exist_ok=True)
    document = Krita.instance().openDocument(path)
    if document is None:
        return
    lines = []
    nodes = list(reversed(document.rootNode().childNodes()))
    for index, node in enumerate(nodes):
        lines.append("\t".join([node.name(), node.blendingMode(), "1" if node.visible() else "0",
                                node.colorModel(), node.colorDepth()]))
        data = node.pixelData(0, 0, document.width(), document.height())
        with open(os.path.join(out, f"layer{index}.raw"), "wb") as f:
            f.write(bytes(data))
    with open(os.path.join(out, "stack.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
        f.write(f"{document.width()} {document.height()} {document.xRes()} {document.resolution()}\n")
    document.close()


def main(args=None):
    for path in os.environ.get("VANDREL_LAYERED_FILES", "").split(":"):
        if path:
            try:
                dump(path)
            except Exception as e:  # one file's trouble must not hide the others'
                print(f"krita_reader: {path}: {e}")
