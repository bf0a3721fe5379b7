"""Krita's side of the filters: which layers they take, how their pixels
are laid out, and the functions scripts call (flat_layer, auto_flats)."""

from . import native

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
    return node.pixelData(0, 0, document.width(), document.height())


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
    result.setPixelData(pixels, 0, 0, document.width(), document.height())
    _place_above(document, node, result)
    node.setVisible(False)
    document.refreshProjection()
    return result


def _match_colour_space(new, node):
    if (new.colorModel(), new.colorDepth(), new.colorProfile()) != (
            node.colorModel(), node.colorDepth(), node.colorProfile()):
        new.setColorSpace(node.colorModel(), node.colorDepth(), node.colorProfile())


def _pixels_like(document, node, model_of):
    """`node`'s pixels in the colour space of `model_of` (Krita converts
    a layer of another), and their layout."""
    layout = layout_of(node)
    if (node.colorModel(), node.colorDepth(), node.colorProfile()) == (
            model_of.colorModel(), model_of.colorDepth(), model_of.colorProfile()):
        return _page(document, node), layout
    copy = node.duplicate()
    copy.setColorSpace(model_of.colorModel(), model_of.colorDepth(), model_of.colorProfile())
    return copy.pixelData(0, 0, document.width(), document.height()), layout_of(model_of)


_SETTINGS = {"gap": "gap", "min_region": "minRegion", "spot_blacks": "spotBlacks", "keep_lines": "keepLines",
             "threshold": "threshold", "workers": "workers"}


def auto_flats_pixels(document, line_node, hints_node=None, progress=None, **settings):
    """The flats in the line-art layer's own layout, without touching the
    document."""
    chosen = native.auto_flat_defaults()
    chosen.dpi = float(document.resolution())
    for key, value in settings.items():
        if key not in _SETTINGS:
            raise TypeError("auto_flats() has no setting %r" % key)
        setattr(chosen, _SETTINGS[key], int(value))
    layout = layout_of(line_node)
    line = _page(document, line_node)
    hints, hints_layout = None, 0
    if hints_node is not None:
        hints, hints_layout = _pixels_like(document, hints_node, line_node)
    return native.auto_flat(line, layout, document.width(), document.height(), chosen, layout, hints=hints,
                            hints_layout=hints_layout, progress=progress)


def auto_flats(document, line_node, hints_node=None, progress=None, **settings):
    """Auto Flats from a line-art layer (and a hints layer): a new "Flats"
    layer under the line art, in the line art's colour space. Settings: gap
    (0: chosen from the resolution), min_region (-1: the default),
    spot_blacks, keep_lines, threshold (128: line strength at which a pixel
    is line art). Returns the new layer."""
    pixels = auto_flats_pixels(document, line_node, hints_node, progress, **settings)
    flats = document.createNode("Flats", "paintlayer")
    _match_colour_space(flats, line_node)
    flats.setPixelData(pixels, 0, 0, document.width(), document.height())
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
