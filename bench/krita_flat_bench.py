"""Run by bench/krita-flat-bench.sh inside Krita (kritarunner): Flat lines
on one page, timed step by step, as the action does it."""

import os
import sys
import time

from krita import Krita

from vandrel_krita import layers, native


def main(args=None):
    page = os.environ["VANDREL_BENCH_PAGE"]
    started = time.perf_counter()
    document = Krita.instance().openDocument(page)
    document.setBatchmode(True)
    document.waitForDone()
    opened = time.perf_counter()
    node = [n for n in document.topLevelNodes() if n.type() == "paintlayer"][0]
    w, h = document.width(), document.height()
    steps = []

    def step(name, work):
        t = time.perf_counter()
        value = work()
        steps.append((name, time.perf_counter() - t))
        return value

    pixels = step("read the layer (pixelData)", lambda: node.pixelData(0, 0, w, h))
    flatted = step("flat (the library)", lambda: native.flat(pixels, w, h, layers.layout_of(node), 256, False))
    new = step("new layer (createNode)", lambda: document.createNode("flatted", "paintlayer"))
    step("write the layer (setPixelData)", lambda: new.setPixelData(flatted, 0, 0, w, h))

    def place():
        document.rootNode().addChildNode(new, node)
        node.setVisible(False)
        document.refreshProjection()
        document.waitForDone()

    step("place it and redraw (refreshProjection)", place)
    total = sum(seconds for _, seconds in steps)
    print("krita-bench: page %dx%d (%.1f MP), opened in %.2f s" % (w, h, w * h / 1e6, opened - started))
    for name, seconds in steps:
        print("krita-bench: %-42s %6.2f s" % (name, seconds))
    print("krita-bench: Flat lines in Krita, total %.2f s" % total)
    sys.stdout.flush()
    document.close()
