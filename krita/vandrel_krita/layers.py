"""Krita's side of the filters: which layers they take, how their pixels
are laid out, and the functions scripts call (flat_layer, auto_flats)."""

from . import native, selection, stack
from . import palette as palette_file

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


def flat_pixels(document, node, depth=256, white=False, progress=None):
    """The flatted pixels of `node` over the whole canvas, in Krita's own
    layout, without touching the document."""
    layout = layout_of(node)
    return native.flat(_page(document, node), document.width(), document.height(), layout, depth, white, progress)


def _selected(document):
    try:
        return selection.of(document)
    except selection.EmptySelection:
        raise Refused("The selection holds no pixel of the image: select where to work, or nothing for the "
                      "whole layer.")


def _channels(node):
    return native.library().vandrel_layout_channels(layout_of(node))


def flat_layer(document, node, depth=256, white=False, progress=None):
    """Vandrel Pro on a paint layer, within the selection if there is one.
    The result is a new layer directly above it, named after it, added in
    one undo step; the original stays under it as it was, visible (Krita
    5.1's scripting cannot hide a layer as part of an undo step, and a layer
    left hidden after an undo looks lost). Returns the new layer."""
    mask = _selected(document)
    pixels = flat_pixels(document, node, depth, white, progress)
    if mask is not None:
        pixels = mask.merge(_page(document, node), pixels, document.width(), _channels(node))
    result = document.createNode("%s (flatted)" % node.name(), "paintlayer")
    _match_colour_space(result, node)
    result.setPixelData(pixels, 0, 0, document.width(), document.height())
    (node.parentNode() or document.rootNode()).addChildNode(result, node)
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


def _palette_entries(line_node, colours):
    """The library's palette from a file name or (r, g, b) colours."""
    if not colours:
        return None
    if line_node.colorModel() == "CMYKA":
        raise Refused('A palette holds RGB colours and "%s" is CMYK: leave the palette out.' % line_node.name())
    try:
        return palette_file.entries(palette_file.read(colours) if isinstance(colours, str) else palette_file.parse(
            "\n".join("#%02x%02x%02x" % tuple(colour) for colour in colours)))
    except palette_file.PaletteError as error:
        raise Refused("The palette: %s." % error)


def _mostly_dark(line, layout, threshold):
    """Whether most of a sample of the line art's pixels are as strong as a
    line: which of the two refusals below to give."""
    channels = 5 if layout == native.CMYKA else 4
    count = len(line) // channels
    step = max(1, count // 4096)
    dark = 0
    for i in range(0, count, step):
        pixel = bytes(line[i * channels:(i + 1) * channels])
        if layout == native.CMYKA:
            darkness = min(255, max(pixel[0:3]) + pixel[3])
        else:
            darkness = 255 - (114 * pixel[0] + 587 * pixel[1] + 299 * pixel[2] + 500) // 1000
        dark += darkness * pixel[-1] >= threshold * 255
    return 2 * dark > (count + step - 1) // step


def auto_flats_pixels(document, line_node, hints_node=None, progress=None, palette=None, earlier_node=None,
                      **settings):
    """The flats in the line-art layer's own layout, without touching the
    document. `palette`: a palette file's name or (r, g, b) colours;
    `earlier_node`: earlier flats whose colours the regions keep."""
    chosen = native.auto_flat_defaults()
    chosen.dpi = float(document.resolution())
    for key, value in settings.items():
        if key not in _SETTINGS:
            raise TypeError("auto_flats() has no setting %r" % key)
        setattr(chosen, _SETTINGS[key], int(value))
    layout = layout_of(line_node)
    entries = _palette_entries(line_node, palette)
    line = _page(document, line_node)
    hints, hints_layout = None, 0
    if hints_node is not None:
        hints, hints_layout = _pixels_like(document, hints_node, line_node)
    earlier, earlier_layout = None, 0
    if earlier_node is not None:
        earlier, earlier_layout = _pixels_like(document, earlier_node, line_node)
    marks = bytearray(document.width() * document.height())
    try:
        flats, regions = native.auto_flat(line, layout, document.width(), document.height(), chosen, layout,
                                          hints=hints, hints_layout=hints_layout, progress=progress,
                                          palette=entries, marks=marks, earlier=earlier,
                                          earlier_layout=earlier_layout)
    except native.NoRegions:
        # The library refuses such a layer itself; the message names it.
        if _mostly_dark(line, layout, chosen.threshold):
            raise Refused('"%s" is all line art: there is no paper to fill.' % line_node.name())
        raise Refused('"%s" has no line art: no pixel is dark enough to be a line (line darkness %d), so there '
                      "are no regions to fill." % (line_node.name(), chosen.threshold))
    # As the command: a layer without lines is one region, flats of one
    # colour no one asks for; the wrong layer, or the darkness set too high.
    # A layer of solid black is one region too, a spot black.
    # Pixels not of the line art carry no mark or a closed gap's alone;
    # counted so, without a second page-sized buffer.
    lines = len(marks) - marks.count(0) - marks.count(native.MARK_CLOSED_GAP)
    if lines == len(marks) or (regions == 1 and lines == 0 and _mostly_dark(line, layout, chosen.threshold)):
        raise Refused('"%s" is all line art: there is no paper to fill.' % line_node.name())
    if regions == 1 and lines == 0:
        raise Refused('"%s" has no line art: no pixel is dark enough to be a line (line darkness %d), so there '
                      "are no regions to fill." % (line_node.name(), chosen.threshold))
    return flats


def auto_flats(document, line_node, hints_node=None, progress=None, palette=None, keep_colours=True, **settings):
    """Auto Flats from a line-art layer (and a hints layer), within the
    selection if there is one: a "Flats" layer in the line art's colour
    space directly under the line art on Multiply (a Multiply copy of it
    when the line art is not on Multiply); a run again replaces the Flats
    layer it made, keeping its pixels outside the selection. The hints
    layer is hidden. Settings: gap (0: chosen from the resolution),
    min_region (-1: the default), spot_blacks, keep_lines, threshold (128:
    line strength at which a pixel is line art); palette: a palette file's
    name or (r, g, b) colours. keep_colours: a run again keeps the colours
    of the Flats layer it replaces, as for revised line art (every region
    takes the colour of the old one it overlaps most; the larger part of a
    split region keeps it). Returns the new layer."""
    layout_of(line_node)
    mask = _selected(document)
    shown, old = stack.find_flats(document, line_node)
    pixels = auto_flats_pixels(document, line_node, hints_node, progress, palette,
                               earlier_node=old if keep_colours else None, **settings)
    if mask is not None:
        base = _pixels_like(document, old, line_node)[0] if old is not None else bytes(len(pixels))
        pixels = mask.merge(base, pixels, document.width(), _channels(line_node))
    flats = document.createNode(stack.FLATS, "paintlayer")
    _match_colour_space(flats, line_node)
    flats.setPixelData(pixels, 0, 0, document.width(), document.height())
    shown = stack.put_flats(document, line_node, flats, shown, old)
    if hints_node is not None:
        hints_node.setVisible(False)
    document.setActiveNode(shown)
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
