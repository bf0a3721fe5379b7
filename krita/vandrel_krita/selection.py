"""A selection as the filters take it: the pixels they may write."""

# A soft edge is taken as hard: flats are flat colours, and a blend with
# what lay there before would make colours no region has.
_HALF = bytes(0xFF if value >= 128 else 0 for value in range(256))


class EmptySelection(Exception):
    """The selection holds no pixel of the image."""


class Mask:
    """The selected pixels within the box (x, y, width, height), one byte a
    pixel, 0xFF where selected."""

    def __init__(self, box, bits):
        self.box = box
        self.bits = bits

    def merge(self, base, new, width, channels):
        """`new` where selected, `base` elsewhere, both whole pages of
        `width` pixels a row; returns a new bytearray."""
        out = bytearray(base)
        x, y, w, h = self.box
        row_bytes = w * channels
        expanded = bytearray(row_bytes)
        for row in range(h):
            mask = self.bits[row * w:(row + 1) * w]
            for channel in range(channels):
                expanded[channel::channels] = mask
            start = ((y + row) * width + x) * channels
            chosen = int.from_bytes(expanded, "little")
            kept = int.from_bytes(out[start:start + row_bytes], "little") & ~chosen
            taken = int.from_bytes(new[start:start + row_bytes], "little") & chosen
            out[start:start + row_bytes] = (kept | taken).to_bytes(row_bytes, "little")
        return out


def of(document):
    """The document's selection as a Mask, or None when there is none or
    it holds the whole image."""
    selection = document.selection()
    if selection is None:
        return None
    x0, y0 = max(0, selection.x()), max(0, selection.y())
    x1 = min(document.width(), selection.x() + selection.width())
    y1 = min(document.height(), selection.y() + selection.height())
    if x1 <= x0 or y1 <= y0:
        raise EmptySelection()
    bits = bytes(selection.pixelData(x0, y0, x1 - x0, y1 - y0)).translate(_HALF)
    if 0xFF not in bits:
        raise EmptySelection()
    if (x0, y0, x1, y1) == (0, 0, document.width(), document.height()) and 0 not in bits:
        return None
    return Mask((x0, y0, x1 - x0, y1 - y0), bits)
