"""The plug-in inside Krita (run by kritarunner from scripts/test-krita.sh):
both actions' code on real documents, compared byte for byte with what
`vandrel flat` and `vandrel autoflat` made of the same pages."""

import os
import sys
import traceback

from krita import InfoObject, Krita, Selection

import vandrel_krita
from vandrel_krita import dialogs, extension, settings

PAGES = os.environ.get("VANDREL_KRITA_PAGES", "")
OUT = os.environ.get("VANDREL_KRITA_OUT", "")
results = []


def check(name):
    def wrap(test):
        def run():
            try:
                test()
                results.append((name, None))
            except Exception:
                results.append((name, traceback.format_exc().strip().splitlines()[-1]))
        run.name = name
        return run
    return wrap


def open_page(name):
    document = Krita.instance().openDocument(os.path.join(PAGES, name))
    if document is None:
        raise AssertionError("Krita could not open " + name)
    document.setBatchmode(True)
    return document


def only_layer(document):
    nodes = [n for n in document.topLevelNodes() if n.type() == "paintlayer"]
    assert len(nodes) == 1, [n.name() for n in nodes]
    return nodes[0]


def pixels(document, node):
    return bytes(node.pixelData(0, 0, document.width(), document.height()))


def same(actual, expected, what):
    if actual != expected:
        diff = next(i for i in range(min(len(actual), len(expected))) if actual[i] != expected[i]) \
            if len(actual) == len(expected) else -1
        raise AssertionError("%s: %d bytes differ from the tool's (first at byte %d of %d)"
                             % (what, sum(a != b for a, b in zip(actual, expected)), diff, len(expected)))


def same_visible(actual, expected, channels, what):
    """Byte for byte, except the colour under fully transparent pixels:
    Krita's projection, which export writes, clears it, and no program
    shows it."""
    if len(actual) != len(expected):
        raise AssertionError("%s: %d bytes, the tool's %d" % (what, len(actual), len(expected)))
    cleared = 0
    for i in range(0, len(expected), channels):
        a, e = actual[i:i + channels], expected[i:i + channels]
        if a == e:
            continue
        if e[-1] == 0 and a[-1] == 0:
            cleared += 1
            continue
        raise AssertionError("%s: pixel %d is %s, the tool's %s" % (what, i // channels, list(a), list(e)))
    return cleared


def stack_of(document, parent=None):
    """The layers bottom to top: (name, blend mode, visible)."""
    nodes = parent.childNodes() if parent else document.topLevelNodes()
    return [(n.name(), n.blendingMode(), n.visible()) for n in nodes]


def tool_result(name):
    document = open_page(name)
    try:
        return pixels(document, only_layer(document))
    finally:
        document.close()


def exported(document, name):
    """The document as a file, opened again: what another program sees."""
    path = os.path.join(OUT, name)
    document.refreshProjection()
    document.waitForDone()
    options = InfoObject()
    # Krita's TIFF export leaves transparency out unless asked.
    options.setProperty("alpha", True)
    if not document.exportImage(path, options):
        raise AssertionError("Krita did not export " + name)
    return tool_result_path(path)


def tool_result_path(path):
    document = Krita.instance().openDocument(path)
    document.setBatchmode(True)
    try:
        return pixels(document, only_layer(document))
    finally:
        document.close()


def flat_test(page, tool_output, depth, white, export_as):
    document = open_page(page)
    try:
        node = only_layer(document)
        before = pixels(document, node)
        result = vandrel_krita.flat_layer(document, node, depth=depth, white=white)
        same(pixels(document, result), tool_result(tool_output), "the new layer")
        same(pixels(document, node), before, "the original layer")
        # The original stays visible under the result (undo must not leave it
        # hidden); to see the result alone a user hides it.
        assert stack_of(document) == [(node.name(), "normal", True), (result.name(), "normal", True)], \
            stack_of(document)
        node.setVisible(False)
        channels = 5 if node.colorModel() == "CMYKA" else 4
        same_visible(exported(document, export_as), tool_result(tool_output), channels, "the exported page")
    finally:
        document.close()


@check("flat: RGBA page with transparency, depth 256")
def flat_rgba():
    flat_test("page_rgba.png", "flat_rgba.png", 256, False, "k_flat_rgba.png")


@check("flat: RGBA page, depth 3, too deep pixels white")
def flat_rgba_white():
    flat_test("page_rgba.png", "flat_rgba_d3w.png", 3, True, "k_flat_rgba_d3w.png")


@check("flat: CMYK page (ink kept as ink)")
def flat_cmyk():
    document = open_page("page_cmyk.tif")
    try:
        assert only_layer(document).colorModel() == "CMYKA"
    finally:
        document.close()
    flat_test("page_cmyk.tif", "flat_cmyk.tif", 256, False, "k_flat_cmyk.tif")


@check("flat: CMYK page with transparency, depth 5, white")
def flat_cmyka():
    flat_test("page_cmyka.tif", "flat_cmyka_d5w.tif", 5, True, "k_flat_cmyka_d5w.tif")


def auto_test(page, tool_output, hints_page=None, export_as=None, **chosen):
    document = open_page(page)
    try:
        line = only_layer(document)
        before = pixels(document, line)
        hints = None
        if hints_page:
            source = open_page(hints_page)
            try:
                hints = document.createNode("Hints", "paintlayer")
                hints.setPixelData(pixels(source, only_layer(source)), 0, 0, document.width(), document.height())
                document.rootNode().addChildNode(hints, line)
            finally:
                source.close()
        flats = vandrel_krita.auto_flats(document, line, hints, **chosen)
        same(pixels(document, flats), tool_result(tool_output), "the Flats layer")
        same(pixels(document, line), before, "the line art")
        name = line.name()
        expected = [(name, "normal", True), ("Flats", "normal", True), (name + " (Multiply)", "multiply", True)]
        if hints:
            expected.append(("Hints", "normal", False))
        assert stack_of(document) == expected, stack_of(document)
        copy = document.topLevelNodes()[2]
        same(pixels(document, copy), before, "the Multiply copy of the line art")
        if export_as:
            line.setVisible(False)
            copy.setVisible(False)
            same(exported(document, export_as), tool_result(tool_output), "the exported flats")
    finally:
        document.close()


@check("auto flats: RGB line art, no hints")
def auto_plain():
    auto_test("lineart.png", "auto.png", export_as="k_auto.png")


@check("auto flats: RGB line art with a hints layer")
def auto_hints():
    auto_test("lineart.png", "auto_hints.png", hints_page="hints.png", export_as="k_auto_hints.png")


@check("auto flats: line art on a transparent layer, gap 4")
def auto_clear():
    auto_test("lineart_clear.png", "auto_clear_gap4.png", gap=4)


@check("auto flats: CMYK line art with a hints layer")
def auto_cmyk():
    auto_test("lineart_cmyk.tif", "auto_cmyk_hints.tif", hints_page="hints_cmyk.tif", export_as="k_auto_cmyk.tif")


def add_layer(document, name, above, data=None, parent=None):
    """A new paint layer directly above `above` (on top when None)."""
    node = document.createNode(name, "paintlayer")
    if data is not None:
        node.setPixelData(data, 0, 0, document.width(), document.height())
    (parent or document.rootNode()).addChildNode(node, above)
    return node


def tones(document):
    """A translucent grey layer: what a colourist keeps above the line art."""
    return bytes((90, 90, 90, 100)) * (document.width() * document.height())


@check("stack: line art at the bottom keeps the layers above it above, Flats under a Multiply copy")
def stack_bottom():
    document = open_page("lineart.png")
    try:
        line = only_layer(document)
        name = line.name()
        add_layer(document, "Tones", line, tones(document))
        vandrel_krita.auto_flats(document, line)
        assert stack_of(document) == [(name, "normal", True), ("Flats", "normal", True),
                                      (name + " (Multiply)", "multiply", True), ("Tones", "normal", True)], \
            stack_of(document)
    finally:
        document.close()


@check("stack: line art in a group between other layers; line art already on Multiply gets no copy")
def stack_middle():
    document = open_page("lineart.png")
    try:
        paper = only_layer(document)
        paper.setName("Paper")
        group = document.createGroupLayer("Page")
        document.rootNode().addChildNode(group, paper)
        under = add_layer(document, "Under", None, parent=group)
        ink = add_layer(document, "Ink", under, pixels(document, paper), parent=group)
        add_layer(document, "Tones", ink, tones(document), parent=group)
        vandrel_krita.auto_flats(document, ink)
        assert stack_of(document, group) == [("Under", "normal", True), ("Ink", "normal", True),
                                             ("Flats", "normal", True), ("Ink (Multiply)", "multiply", True),
                                             ("Tones", "normal", True)], stack_of(document, group)
        assert [n.name() for n in document.topLevelNodes()] == ["Paper", "Page"]
        flats = vandrel_krita.auto_flats(document, group.childNodes()[3])
        # Run on the copy, already on Multiply: its own Flats layer replaced.
        assert [n.name() for n in group.childNodes()] == ["Under", "Ink", "Flats", "Ink (Multiply)", "Tones"]
        assert group.childNodes()[2] == flats
        document2 = open_page("lineart.png")
        try:
            line = only_layer(document2)
            line.setBlendingMode("multiply")
            add_layer(document2, "Paper", None).setBlendingMode("normal")
            document2.rootNode().setChildNodes([document2.topLevelNodes()[1], line])
            vandrel_krita.auto_flats(document2, line)
            assert [(n, b) for n, b, _ in stack_of(document2)] == [
                ("Paper", "normal"), ("Flats", "normal"), (line.name(), "multiply")], stack_of(document2)
        finally:
            document2.close()
    finally:
        document.close()


@check("re-run: its own Flats layer replaced, run on the original or on the copy, no second Flats")
def rerun():
    document = open_page("lineart.png")
    try:
        line = only_layer(document)
        add_layer(document, "Tones", line, tones(document))
        vandrel_krita.auto_flats(document, line)
        first = stack_of(document)
        copy = document.topLevelNodes()[2]
        flats = vandrel_krita.auto_flats(document, copy, gap=4, keep_colours=False)
        assert stack_of(document) == first, stack_of(document)
        same(pixels(document, flats), tool_result("auto_gap4.png"), "the Flats of the run on the copy")
        flats = vandrel_krita.auto_flats(document, line, keep_colours=False)
        assert stack_of(document) == first, stack_of(document)
        assert document.topLevelNodes()[1] == flats
        same(pixels(document, flats), tool_result("auto.png"), "the Flats of the run on the original")
    finally:
        document.close()


@check("re-run on revised line art: the Flats it replaces keep their colours (the command's --like), by default")
def rerun_revised():
    document = open_page("lineart.png")
    try:
        line = only_layer(document)
        vandrel_krita.auto_flats(document, line)
        line.setPixelData(tool_result("lineart_revised.png"), 0, 0, document.width(), document.height())
        flats = vandrel_krita.auto_flats(document, line)
        same(pixels(document, flats), tool_result("auto_revised_like.png"), "the Flats keeping the earlier colours")
        assert [n.name() for n in document.topLevelNodes()].count("Flats") == 1
        flats = vandrel_krita.auto_flats(document, line, keep_colours=False)
        same(pixels(document, flats), tool_result("auto_revised.png"), "the Flats with colours of their own")
    finally:
        document.close()
    dialog = dialogs.AutoFlatsDialog(settings.read(settings.AUTO, "auto_"), "Ink", [])
    assert dialog.keep_colours.isChecked() and dialog.values()["keep_colours"] == 1, dialog.values()


def select(document, x, y, w, h):
    chosen = Selection()
    chosen.select(x, y, w, h, 255)
    document.setSelection(chosen)


def inside(width, boxes):
    """Which of `boxes` (x, y, w, h) each pixel lies in, last box first."""
    def where(i):
        px, py = i % width, i // width
        for n in reversed(range(len(boxes))):
            x, y, w, h = boxes[n]
            if x <= px < x + w and y <= py < y + h:
                return n
        return -1
    return where


def expect_boxes(width, channels, layers, boxes):
    """layers[0] outside every box, layers[n + 1] inside boxes[n]."""
    where = inside(width, boxes)
    out = bytearray(len(layers[0]))
    for i in range(len(out) // channels):
        source = layers[where(i) + 1]
        out[i * channels:(i + 1) * channels] = source[i * channels:(i + 1) * channels]
    return bytes(out)


@check("selection: both filters write inside it only; a re-run keeps its Flats outside the new one")
def selection_limits():
    document = open_page("lineart.png")
    try:
        line = only_layer(document)
        width, size = document.width(), document.width() * document.height() * 4
        first, second = (20, 30, 120, 90), (100, 100, 150, 100)
        select(document, *first)
        flats = vandrel_krita.auto_flats(document, line)
        tool, tool_gap4 = tool_result("auto.png"), tool_result("auto_gap4.png")
        same(pixels(document, flats), expect_boxes(width, 4, [bytes(size), tool], [first]), "the Flats in one box")
        select(document, *second)
        flats = vandrel_krita.auto_flats(document, line, gap=4, keep_colours=False)
        same(pixels(document, flats), expect_boxes(width, 4, [bytes(size), tool, tool_gap4], [first, second]),
             "the Flats after a run in a second box")
        assert [n.name() for n in document.topLevelNodes()].count("Flats") == 1
        document.setSelection(Selection())
        try:
            vandrel_krita.auto_flats(document, line)
            raise AssertionError("an empty selection was taken")
        except vandrel_krita.Refused as error:
            assert "selection" in str(error), str(error)
    finally:
        document.close()
    document = open_page("page_rgba.png")
    try:
        node = only_layer(document)
        before = pixels(document, node)
        box = (50, 40, 100, 60)
        select(document, *box)
        result = vandrel_krita.flat_layer(document, node)
        same(pixels(document, result), expect_boxes(document.width(), 4, [before, tool_result("flat_rgba.png")],
                                                    [box]), "the flatted layer in a box")
    finally:
        document.close()


@check("refused: an empty, a white and an all-black layer get a message and no layer")
def refused_empty():
    document = Krita.instance().createDocument(40, 30, "empty", "RGBA", "U8", "", 300.0)
    document.setBatchmode(True)
    try:
        line = add_layer(document, "Ink", None)
        for fill, words in ((b"\0\0\0\0", "no line art"), (b"\xff\xff\xff\xff", "no line art"),
                            (b"\0\0\0\xff", "all line art")):
            line.setPixelData(fill * (40 * 30), 0, 0, 40, 30)
            before = stack_of(document)
            try:
                vandrel_krita.auto_flats(document, line)
                raise AssertionError("a layer of %s was taken" % list(fill))
            except vandrel_krita.Refused as error:
                assert words in str(error), str(error)
            assert stack_of(document) == before, stack_of(document)
    finally:
        document.close()


@check("palette and line darkness: the command's pixels; a bad palette or a CMYK page refused")
def palette_threshold():
    document = open_page("lineart.png")
    try:
        line = only_layer(document)
        flats = vandrel_krita.auto_flats(document, line, palette=os.path.join(PAGES, "palette.gpl"), threshold=200)
        same(pixels(document, flats), tool_result("auto_palette_t200.png"), "the Flats with a palette")
        try:
            vandrel_krita.auto_flats(document, line, palette=os.path.join(PAGES, "palette_dark.txt"))
            raise AssertionError("a palette with a line-art colour was taken")
        except vandrel_krita.Refused as error:
            assert "line 2" in str(error), str(error)
    finally:
        document.close()
    document = open_page("lineart_cmyk.tif")
    try:
        try:
            vandrel_krita.auto_flats(document, only_layer(document), palette=[(250, 200, 120)])
            raise AssertionError("a palette was taken for a CMYK page")
        except vandrel_krita.Refused as error:
            assert "CMYK" in str(error), str(error)
    finally:
        document.close()


@check("refused: a grey layer, with a message saying what to convert to")
def refused_grey():
    document = open_page("page_gray.png")
    try:
        node = only_layer(document)
        before = pixels(document, node)
        for action in (lambda: vandrel_krita.flat_layer(document, node),
                       lambda: vandrel_krita.auto_flats(document, node)):
            try:
                action()
                raise AssertionError("a %s layer was taken" % node.colorModel())
            except vandrel_krita.Refused as error:
                assert "RGB/Alpha 8-bit" in str(error) and "CMYK/Alpha 8-bit" in str(error), str(error)
        same(pixels(document, node), before, "the refused layer")
        assert len(document.topLevelNodes()) == 1
    finally:
        document.close()


@check("refused: a 16-bit RGBA layer")
def refused_16bit():
    document = Krita.instance().createDocument(20, 10, "deep", "RGBA", "U16", "", 300.0)
    document.setBatchmode(True)
    try:
        try:
            vandrel_krita.flat_layer(document, only_layer(document))
            raise AssertionError("a 16-bit layer was taken")
        except vandrel_krita.Refused as error:
            assert "U16" in str(error), str(error)
    finally:
        document.close()


@check("cancel: both filters stop, and the document is as it was")
def cancelled():
    for page, run in (("page_rgba.png", lambda d, n, stop: vandrel_krita.flat_layer(d, n, progress=stop)),
                      ("lineart.png", lambda d, n, stop: vandrel_krita.auto_flats(d, n, progress=stop))):
        document = open_page(page)
        try:
            node = only_layer(document)
            before = pixels(document, node)
            calls = []
            try:
                run(document, node, lambda done, total: calls.append(done) or True)
                raise AssertionError("not cancelled on " + page)
            except vandrel_krita.Cancelled:
                pass
            assert calls, "no progress reported on " + page
            same(pixels(document, node), before, "the layer after a cancel")
            assert len(document.topLevelNodes()) == 1 and node.visible()
            assert document.selection() is None
        finally:
            document.close()


@check("actions: the dialogs' choices run the filters and are remembered")
def actions_remember():
    settings.write({"depth": 3, "white": 1}, "flat_")
    document = open_page("page_rgba.png")
    try:
        result = extension.flat_lines(document, only_layer(document), ask=False)
        same(pixels(document, result), tool_result("flat_rgba_d3w.png"), "the action's layer")
    finally:
        document.close()
    dialog = dialogs.FlatDialog(settings.read(settings.FLAT, "flat_"), "Ink")
    assert dialog.depth.value() == 3 and dialog.white.isChecked()
    dialog.depth.setValue(256)
    dialog.white.setChecked(False)
    settings.write(dialog.values(), "flat_")
    assert settings.read(settings.FLAT, "flat_") == {"depth": 256, "white": 0}
    Krita.instance().writeSetting(settings.GROUP, "flat_depth", "not a number")
    assert settings.read(settings.FLAT, "flat_")["depth"] == 256
    for threshold, palette, tool in ((128, "", "auto.png"),
                                     (200, os.path.join(PAGES, "palette.gpl"), "auto_palette_t200.png")):
        settings.write({"gap": 0, "min_region": -1, "spot_blacks": 1, "keep_lines": 0, "threshold": threshold,
                        "palette": palette}, "auto_")
        values = settings.read(settings.AUTO, "auto_")
        values.update(settings.read_text(settings.AUTO_TEXT, "auto_"))
        dialog = dialogs.AutoFlatsDialog(values, "Ink", [])
        assert dialog.values()["threshold"] == threshold and dialog.values()["palette"] == palette, dialog.values()
        document = open_page("lineart.png")
        try:
            flats = extension.auto_flats(document, only_layer(document), ask=False)
            same(pixels(document, flats), tool_result(tool), "the action's Flats layer")
        finally:
            document.close()
    settings.write({"threshold": 128, "palette": ""}, "auto_")


@check("dialogs: shown offscreen, pictured for the README")
def dialog_pictures():
    flat = dialogs.FlatDialog({"depth": 256, "white": 0}, "Inks")
    flat.adjustSize()
    auto = dialogs.AutoFlatsDialog({"gap": 0, "min_region": -1, "spot_blacks": 1, "keep_lines": 0, "threshold": 128,
                                    "palette": ""}, "Inks",
                                   [("Colour hints", None)])
    auto.hints.setCurrentIndex(1)
    auto.adjustSize()
    for dialog, name in ((flat, "krita-flat-dialog.png"), (auto, "krita-auto-flats-dialog.png")):
        dialog.show()
        assert dialog.grab().save(os.path.join(OUT, name)), name
        dialog.close()


def main(args=None):
    tests = [flat_rgba, flat_rgba_white, flat_cmyk, flat_cmyka, auto_plain, auto_hints, auto_clear, auto_cmyk,
             stack_bottom, stack_middle, rerun, rerun_revised, selection_limits, refused_empty, palette_threshold,
             refused_grey, refused_16bit, cancelled, actions_remember, dialog_pictures]
    only = os.environ.get("VANDREL_KRITA_ONLY")
    for test in tests:
        if only and only not in test.name:
            continue
        test()
    for name, failure in results:
        print(("PASS: %s" % name) if failure is None else ("FAIL: %s: %s" % (name, failure)))
    sys.stdout.flush()
