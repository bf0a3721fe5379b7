"""Krita's side of the filters: which layers they take, how their pixels
are laid out, and the functions scripts call (flat_layer, auto_flats)."""

from krita import Krita

from . import native

RGB_PROFILE = "sRGB-elle-V2-srgbtrc.icc"

# Krita keeps 8-bit RGBA as B, G, R, A in memory, and 8-bit CMYKA as
# C, M, Y, K, A ink (255 full ink), as files store it.
_LAYOUTS = {("RGBA", "U8"): native.BGRA, ("CMYKA", "U8"): native.CMYKA}

CONVERT_TO = "RGB/Alpha 8-bit integer or CMYK/Alpha 8-bit integer"


class Refused(Exception):
    """The layer cannot be flatted as it is; the message says what to do."""


def layout_of(node):
    if node is None:
        raise Refused("Select the paint layer to work on first.")
    if node.type() != "paintlayer":
        raise Refused('"%s" is not a paint layer: Vandrel works on the pixels of a paint layer.' % node.name())
    model, depth = node.colorModel(), node.colorDepth()
    layout = _LAYOUTS.get((model, depth))
    if layout is None:
        raise Refused('"%s" is %s %s, which Vandrel cannot flat. Convert the image to %s first '
                      "(Image > Convert Image Color Space)." % (node.name(), model, depth, CONVERT_TO))
    return layout


def _page(document, node):
    return bytes(node.pixelData(0, 0, document.width(), document.height()))


def _place_above(document, node, new):
    parent = node.parentNode() or document.rootNode()
    parent.addChildNode(new, node)


def _place_below(document, node, new):
    parent = node.parentNode() or document.rootNode()
    siblings = parent.childNodes()
    index = next((i for i, n in enumerate(siblings) if n == node), 0)
    parent.addChildNode(new, siblings[index - 1] if index > 0 else None)
    if index == 0:
        # addChildNode without a sibling puts the layer on top: move it back
        # under the line art.
        parent.removeChildNode(node)
        parent.addChildNode(node, new)


def flat_pixels(document, node, depth=256, white=False, progress=None):
    """The flatted pixels of `node` over the whole canvas, in Krita's own
    layout, without touching the document."""
    layout = layout_of(node)
    return native.flat(_page(document, node), document.width(), document.height(), layout, depth, white, progress)


def flat_layer(document, node, depth=256, white=False, progress=None):
    """Vandrel Pro on a paint layer. The result is a new layer above it,
    named after it; the original stays as it was, hidden, so nothing the user
    painted is lost (Krita's scripting cannot make a pixel change one undo
    step). Returns the new layer."""
    pixels = flat_pixels(document, node, depth, white, progress)
    result = document.createNode("%s (flatted)" % node.name(), "paintlayer")
    _match_colour_space(result, node)
    result.setPixelData(bytes(pixels), 0, 0, document.width(), document.height())
    _place_above(document, node, result)
    node.setVisible(False)
    document.refreshProjection()
    return result


def _match_colour_space(new, node):
    if (new.colorModel(), new.colorDepth(), new.colorProfile()) != (
            node.colorModel(), node.colorDepth(), node.colorProfile()):
        new.setColorSpace(node.colorModel(), node.colorDepth(), node.colorProfile())


def _rgb_copy(document, node):
    """`node`'s pixels as 8-bit sRGB BGRA: the colour model Auto Flats
    chooses its colours in, converted by Krita."""
    layout = layout_of(node)
    if layout == native.BGRA and node.colorProfile() == RGB_PROFILE:
        return _page(document, node)
    copy = node.duplicate()
    copy.setColorSpace("RGBA", "U8", RGB_PROFILE)
    return bytes(copy.pixelData(0, 0, document.width(), document.height()))


def auto_flats_pixels(document, line_node, hints_node=None, progress=None, **settings):
    """The flats as 8-bit sRGB BGRA bytes, without touching the document."""
    chosen = native.auto_flat_defaults()
    for key, value in settings.items():
        field = {"gap": "gap", "min_region": "minRegion", "spot_blacks": "spotBlacks",
                 "keep_lines": "keepLines", "workers": "workers"}.get(key)
        if field is None:
            raise TypeError("auto_flats() has no setting %r" % key)
        setattr(chosen, field, int(value))
    line = _rgb_copy(document, line_node)
    hints = _rgb_copy(document, hints_node) if hints_node is not None else None
    return native.auto_flat(line, native.BGRA, document.width(), document.height(), chosen, native.BGRA,
                            hints=hints, hints_layout=native.BGRA if hints is not None else 0, progress=progress)


def auto_flats(document, line_node, hints_node=None, progress=None, **settings):
    """Auto Flats from a line-art layer (and a hints layer): a new "Flats"
    layer under the line art, in the document's colour space. Settings:
    gap, min_region (-1 for the defaults), spot_blacks, keep_lines.
    Returns the new layer."""
    pixels = auto_flats_pixels(document, line_node, hints_node, progress, **settings)
    flats = document.createNode("Flats", "paintlayer")
    if (flats.colorModel(), flats.colorDepth(), flats.colorProfile()) != ("RGBA", "U8", RGB_PROFILE):
        flats.setColorSpace("RGBA", "U8", RGB_PROFILE)
    flats.setPixelData(bytes(pixels), 0, 0, document.width(), document.height())
    # In a CMYK document the flats go to print with the rest: Krita converts
    # them; their colours lie inside the CMYK gamut.
    if (document.colorModel(), document.colorDepth()) != ("RGBA", "U8") or document.colorProfile() != RGB_PROFILE:
        flats.setColorSpace(document.colorModel(), document.colorDepth(), document.colorProfile())
    _place_below(document, line_node, flats)
    document.refreshProjection()
    return flats


def paint_layers(document):
    """Every paint layer of the document, top to bottom, groups opened."""
    found = []

    def walk(node):
        for child in reversed(node.childNodes()):
            if child.type() == "paintlayer":
                found.append(child)
            walk(child)

    walk(document.rootNode())
    return found


def active(document):
    window = Krita.instance().activeWindow()
    view = window.activeView() if window else None
    if view is not None and view.document() == document:
        return document.activeNode()
    return document.activeNode()
