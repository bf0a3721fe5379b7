"""Where the filters' layers go in the layer stack. Krita 5.1's scripting
has no way to make several changes one undo step: each layer added or
removed is a step of its own, and visibility is no step at all. So the
layers are added in an order in which undoing any number of steps leaves the
line art on screen, and nothing the user had is hidden."""

MULTIPLY = "multiply"
FLATS = "Flats"


def _parent(node, document):
    return node.parentNode() or document.rootNode()


def _siblings(node, document):
    """The node's siblings, bottom to top, and its index among them."""
    siblings = _parent(node, document).childNodes()
    return siblings, next(i for i, n in enumerate(siblings) if n == node)


def _is_flats(node):
    return node.type() == "paintlayer" and node.name() == FLATS


def _is_multiply(node):
    return node.type() == "paintlayer" and node.blendingMode() == MULTIPLY


def find_flats(document, line):
    """(shown, old) for line art `line`: the Multiply line layer the flats
    go under, None when a copy of the line art is to be made; and the
    "Flats" layer an earlier run left directly under it, or None."""
    siblings, index = _siblings(line, document)
    if line.blendingMode() == MULTIPLY:
        shown = index
    elif index + 2 < len(siblings) and _is_flats(siblings[index + 1]) and _is_multiply(siblings[index + 2]):
        shown = index + 2  # the copy an earlier run made above the original
    else:
        return None, None
    old = siblings[shown - 1] if shown > 0 and _is_flats(siblings[shown - 1]) else None
    return siblings[shown], old


def put_flats(document, line, flats, shown, old):
    """Puts `flats` directly under the Multiply line layer (as find_flats
    gave it), every other layer in its place; returns that line layer.

    The line art's own layer is never moved or changed: where it is not on
    Multiply (or lies at the bottom, where Krita can put nothing under it),
    a Multiply copy goes above it and the flats between the two."""
    parent = _parent(line, document)
    if old is not None:
        # The new flats first: undoing the removal shows the new ones still,
        # undoing both the old ones; the line art stays in view throughout.
        parent.addChildNode(flats, old)
        old.remove()
        return shown
    if shown is not None:
        siblings, index = _siblings(shown, document)
        if index > 0:
            parent.addChildNode(flats, siblings[index - 1])
            return shown
    copy = line.duplicate()
    copy.setName("%s (%s)" % (line.name(), "Multiply"))
    copy.setVisible(True)
    if copy.blendingMode() != MULTIPLY:
        copy.setBlendingMode(MULTIPLY)
    # The copy before the flats: undone in the other order, the flats alone
    # never cover the line art.
    parent.addChildNode(copy, line)
    parent.addChildNode(flats, line)
    return copy
