"""Undo after the filters, in Krita's own window (Krita's undo needs a
view, which kritarunner has not): run by tests/krita/krita_gui_start.py at
start-up of a Krita under Xvfb. Counts the steps each filter leaves in the
undo history and checks after every step that the line art is on screen
and nothing the user had is hidden."""

import os

from krita import Krita
from PyQt5.QtWidgets import QApplication

import vandrel_krita

PAGES = os.environ.get("VANDREL_KRITA_PAGES", "")


def settle(document):
    document.waitForDone()
    for _ in range(5):
        QApplication.processEvents()


def open_in_view(name):
    document = Krita.instance().openDocument(os.path.join(PAGES, name))
    Krita.instance().activeWindow().addView(document)
    Krita.instance().setActiveDocument(document)
    settle(document)
    return document


def stack_of(document):
    return [(n.name(), n.blendingMode(), n.visible()) for n in document.topLevelNodes()]


def undo_text():
    return Krita.instance().action("edit_undo").text().replace("&", "").strip()


def undo(document):
    Krita.instance().action("edit_undo").trigger()
    settle(document)


def dark_pixels(document, node):
    """The positions of the line art's dark pixels (a sample)."""
    data = bytes(node.pixelData(0, 0, document.width(), document.height()))
    return [i for i in range(0, len(data), 4) if max(data[i:i + 3]) < 40 and data[i + 3] == 255][::7]


def lines_on_screen(document, where):
    document.refreshProjection()
    settle(document)
    shown = bytes(document.pixelData(0, 0, document.width(), document.height()))
    return all(max(shown[i:i + 3]) < 40 for i in where)


def undo_all(document, before, where, what):
    """Undoes every step, checking the screen after each; returns the count."""
    steps = 0
    while undo_text() != "Undo":
        undo(document)
        steps += 1
        if not lines_on_screen(document, where):
            raise AssertionError("%s: the line art is off screen after undo %d: %s"
                                 % (what, steps, stack_of(document)))
        if steps > 10:
            raise AssertionError("%s: more than 10 undo steps" % what)
    if stack_of(document) != before:
        raise AssertionError("%s: after %d undo steps the stack is %s, not %s"
                             % (what, steps, stack_of(document), before))
    return steps


def with_tones(document, line):
    """A layer above the line art, added without an undo step of its own."""
    tones = document.createNode("Tones", "paintlayer")
    tones.setPixelData(bytes((90, 90, 90, 60)) * (document.width() * document.height()), 0, 0,
                       document.width(), document.height())
    document.rootNode().setChildNodes([line, tones])
    settle(document)


def auto_flats_steps():
    document = open_in_view("lineart.png")
    line = document.topLevelNodes()[0]
    with_tones(document, line)
    assert undo_text() == "Undo", "the opened page has undo steps already: " + undo_text()
    before, where = stack_of(document), dark_pixels(document, line)
    vandrel_krita.auto_flats(document, line)
    settle(document)
    assert lines_on_screen(document, where), "the line art is off screen after Auto Flats"
    return undo_all(document, before, where, "Auto Flats")


def rerun_steps():
    document = open_in_view("lineart.png")
    line = document.topLevelNodes()[0]
    where = dark_pixels(document, line)
    first = vandrel_krita.auto_flats(document, line)
    settle(document)
    after_first = stack_of(document)
    first_pixels = bytes(first.pixelData(0, 0, document.width(), document.height()))
    vandrel_krita.auto_flats(document, line, gap=4)
    settle(document)
    steps = 0
    while not (stack_of(document) == after_first and document.topLevelNodes()[1] == first):
        undo(document)
        steps += 1
        assert lines_on_screen(document, where), "the line art is off screen after undo %d" % steps
        assert steps <= 10, "more than 10 undo steps"
    shown = bytes(document.topLevelNodes()[1].pixelData(0, 0, document.width(), document.height()))
    assert shown == first_pixels, "undo did not bring back the first run's flats"
    return steps


def multiply_steps():
    """Line art on Multiply above a paper layer: the flats alone, one step."""
    document = open_in_view("lineart.png")
    line = document.topLevelNodes()[0]
    paper = document.createNode("Paper", "paintlayer")
    document.rootNode().setChildNodes([paper, line])
    line.setBlendingMode("multiply")
    settle(document)
    before, mark = stack_of(document), undo_text()
    where = dark_pixels(document, line)
    vandrel_krita.auto_flats(document, line)
    settle(document)
    assert [n.name() for n in document.topLevelNodes()] == ["Paper", "Flats", line.name()], stack_of(document)
    steps = 0
    while not (undo_text() == mark and stack_of(document) == before):
        undo(document)
        steps += 1
        assert lines_on_screen(document, where), "the line art is off screen after undo %d" % steps
        assert steps <= 10, "more than 10 undo steps"
    return steps


def flat_lines_steps():
    document = open_in_view("page_rgba.png")
    node = document.topLevelNodes()[0]
    before = stack_of(document)
    vandrel_krita.flat_layer(document, node)
    settle(document)
    steps = 0
    while undo_text() != "Undo" and steps <= 10:
        undo(document)
        steps += 1
    assert stack_of(document) == before and node.visible(), "after undo: %s" % stack_of(document)
    return steps


def main(report):
    """`report(name, failure or None)` for each check."""
    for name, test, expected in (
            ("undo: Auto Flats is %d steps, the line art on screen after each", auto_flats_steps, 3),
            ("undo: a re-run of Auto Flats is %d steps back to the first run's flats", rerun_steps, 2),
            ("undo: Auto Flats under line art on Multiply is %d step", multiply_steps, 1),
            ("undo: Flat lines is %d step, the original shown again", flat_lines_steps, 1)):
        try:
            steps = test()
            report(name % expected, None if steps == expected else "%d steps" % steps)
        except Exception as error:
            report(name % expected, "%s: %s" % (type(error).__name__, error))
