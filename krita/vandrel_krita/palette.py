"""The colours a user allows for the regions, read as `vandrel autoflat
--palette` reads them: a GIMP palette (.gpl) or one #rrggbb a line."""

import os

# Far more than any palette a person writes; a larger file is not a palette.
MAX_BYTES = 4 << 20
# A colour this dark is line art to the melt: its region would vanish.
_LINE_ART_LIMIT = 8


class PaletteError(Exception):
    """The palette cannot be used; the message names the line at fault."""


def _shown(text):
    # A message quotes a bad line, but neither a whole file nor the control
    # characters in it.
    text = "".join(c if c.isprintable() else "?" for c in text)
    return text if len(text) <= 40 else text[:40] + "..."


def _hex(text, line):
    digits = text[1:] if text.startswith("#") else text
    try:
        if len(digits) != 6 or not all(c in "0123456789abcdefABCDEF" for c in digits):
            raise ValueError
        return tuple(int(digits[i:i + 2], 16) for i in (0, 2, 4))
    except ValueError:
        raise PaletteError('palette line %d: expected a colour as #rrggbb, found "%s"' % (line, _shown(text)))


def _gimp(text, line):
    fields = text.split()
    try:
        if len(fields) < 3 or not all(f.isdigit() for f in fields[:3]):
            raise ValueError
        colour = tuple(int(f) for f in fields[:3])
        if max(colour) > 255:
            raise ValueError
        return colour
    except ValueError:
        raise PaletteError('palette line %d: expected three numbers 0-255 (red green blue), found "%s"'
                           % (line, _shown(text)))


def parse(text):
    """The distinct (r, g, b) colours of a palette's text, in its order."""
    if "\0" in text:
        raise PaletteError("the palette is not a text file")
    lines = text.lstrip("\ufeff").split("\n")
    gimp = lines[0].strip(" \t\r") == "GIMP Palette"
    colours, seen = [], set()
    for number, raw in enumerate(lines, 1):
        line = raw.strip(" \t\r")
        if not line or (gimp and number == 1):
            continue
        if gimp:
            if line.startswith(("#", "Name:", "Columns:")):
                continue
            colour = _gimp(line, number)
        else:
            colour = _hex(line, number)
        if max(colour) <= _LINE_ART_LIMIT:
            raise PaletteError("palette line %d: a colour this dark would be taken for line art and melted away"
                               % number)
        if colour not in seen:
            seen.add(colour)
            colours.append(colour)
    if not colours:
        raise PaletteError("the palette holds no colours")
    return colours


def read(path):
    """parse() on a file's text."""
    try:
        if os.path.getsize(path) > MAX_BYTES:
            raise PaletteError("the palette is larger than 4 MB: not a palette file")
        with open(path, "rb") as f:
            data = f.read(MAX_BYTES + 1)
    except OSError as error:
        raise PaletteError("cannot read the palette %s: %s" % (path, error.strerror or error))
    try:
        return parse(data.decode("utf-8"))
    except UnicodeDecodeError:
        raise PaletteError("the palette is not a text file")


def entries(colours):
    """The library's palette: 4 bytes a colour, R, G, B, unused."""
    return bytes(b for colour in colours for b in colour + (0,))
