"""Pages for the Krita tests, drawn here and written as PNG and TIFF with
the standard library alone (nothing to install beside Krita)."""

import random
import struct
import sys
import zlib

DPI = 300


def png(path, width, height, channels, pixels):
    colour_type = {1: 0, 2: 4, 3: 2, 4: 6}[channels]
    rows = b"".join(b"\0" + bytes(pixels[y * width * channels:(y + 1) * width * channels]) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ppm = round(DPI / 0.0254)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)))
        f.write(chunk(b"pHYs", struct.pack(">IIB", ppm, ppm, 1)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
        f.write(chunk(b"IEND", b""))


def cmyk_tiff(path, width, height, channels, pixels):
    """Uncompressed, interleaved CMYK (ink: 255 is full ink), with an
    unassociated alpha when `channels` is 5."""
    data = bytes(pixels)
    entries = []
    extra = b""
    header = 8

    def add(tag, kind, count, value):
        entries.append((tag, kind, count, value))

    bits_offset = header + len(data)
    res_offset = bits_offset + 2 * channels
    ifd_offset = res_offset + 16
    add(256, 4, 1, width)
    add(257, 4, 1, height)
    add(258, 3, channels, bits_offset)
    add(259, 3, 1, 1)
    add(262, 3, 1, 5)
    add(273, 4, 1, header)
    add(277, 3, 1, channels)
    add(278, 4, 1, height)
    add(279, 4, 1, len(data))
    add(282, 5, 1, res_offset)
    add(283, 5, 1, res_offset + 8)
    add(284, 3, 1, 1)
    add(296, 3, 1, 2)
    add(332, 3, 1, 1)
    if channels == 5:
        add(338, 3, 1, 2)
    extra = struct.pack("<" + "H" * channels, *([8] * channels)) + struct.pack("<IIII", DPI, 1, DPI, 1)
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", ifd_offset))
        f.write(data)
        f.write(extra)
        f.write(struct.pack("<H", len(entries)))
        for tag, kind, count, value in entries:
            if kind == 3 and count == 1:
                f.write(struct.pack("<HHIHH", tag, kind, count, value, 0))
            else:
                f.write(struct.pack("<HHII", tag, kind, count, value))
        f.write(struct.pack("<I", 0))


def comic_page(width, height, seed):
    """RGBA: coloured panels, black lines of several widths, a solid black
    area, and a transparent corner (with colour left in its pixels)."""
    rng = random.Random(seed)
    colours = [(rng.randrange(60, 250), rng.randrange(60, 250), rng.randrange(60, 250)) for _ in range(32)]
    out = bytearray(width * height * 4)
    for y in range(height):
        for x in range(width):
            i = (y * width + x) * 4
            line = x % 37 < 2 or y % 29 < 3 or (x + 2 * y) % 53 == 0
            blot = width // 2 < x < width // 2 + 25 and 10 < y < 40
            r, g, b = (0, 0, 0) if line or blot else colours[(x // 37 + 5 * (y // 29)) % 32]
            a = 255
            if x < width // 4 and y < height // 4:
                a = 0 if (x + y) % 3 else 128
            out[i:i + 4] = bytes((r, g, b, a))
    return out


def line_art(width, height, alpha_paper=False):
    """White (or transparent) paper and black boxes, one with a 2-pixel gap,
    anti-aliased a little at one edge."""
    out = bytearray(width * height * 4)
    for i in range(0, len(out), 4):
        out[i:i + 4] = b"\0\0\0\0" if alpha_paper else b"\xff\xff\xff\xff"

    def ink(x, y, level=0):
        i = (y * width + x) * 4
        out[i:i + 4] = bytes((level, level, level, 255))

    cols, rows = 4, 3
    bw, bh = width // cols, height // rows
    for cy in range(rows):
        for cx in range(cols):
            x0, y0 = cx * bw + 4, cy * bh + 4
            x1, y1 = x0 + bw - 9, y0 + bh - 9
            gap = (cx + cy) % 3 == 1
            for x in range(x0, x1 + 1):
                for t in range(2):
                    ink(x, y0 + t)
                    ink(x, y1 - t)
                ink(x, y1 - 2, 160)
            for y in range(y0, y1 + 1):
                if gap and y0 + bh // 3 <= y < y0 + bh // 3 + 2:
                    continue
                for t in range(2):
                    ink(x0 + t, y)
                    ink(x1 - t, y)
    return out


def revised(art, width, height):
    """The line art revised: a line added across the first box, its right
    part the larger, and a strip of the last box's bottom line erased."""
    out = bytearray(art)
    bw, bh = width // 4, height // 3
    for y in range(4, bh - 4):
        for x in (19, 20):
            out[(y * width + x) * 4:(y * width + x) * 4 + 4] = b"\0\0\0\xff"
    y1 = 2 * bh + 4 + bh - 9
    for y in range(y1 - 2, y1 + 1):
        for x in range(3 * bw + 20, 3 * bw + 40):
            out[(y * width + x) * 4:(y * width + x) * 4 + 4] = b"\xff\xff\xff\xff"
    return out


def hints(width, height):
    """Colour dots on white: the hints page for the line art."""
    out = bytearray(b"\xff" * (width * height * 4))
    bw, bh = width // 4, height // 3
    for n, (cx, cy, colour) in enumerate([(0, 0, (220, 30, 30)), (2, 1, (30, 60, 220)), (3, 2, (40, 200, 60))]):
        for y in range(cy * bh + bh // 2, cy * bh + bh // 2 + 4):
            for x in range(cx * bw + bw // 2, cx * bw + bw // 2 + 4):
                out[(y * width + x) * 4:(y * width + x) * 4 + 4] = bytes(colour + (255,))
    return out


def to_cmyk(rgba, alpha):
    """Naive ink from RGB (K from the darkest), enough for test pages."""
    out = bytearray()
    for i in range(0, len(rgba), 4):
        r, g, b, a = rgba[i:i + 4]
        k = 255 - max(r, g, b)
        c, m, y = (0, 0, 0) if k == 255 else ((255 - v - k) * 255 // (255 - k) for v in (r, g, b))
        out += bytes((c, m, y, k) + ((a,) if alpha else ()))
    return out


def drop_alpha(rgba):
    return bytes(b for i, b in enumerate(rgba) if i % 4 != 3)


def gray(rgba):
    return bytes(rgba[i] for i in range(0, len(rgba), 4))


def write_all(folder, width=301, height=233):
    page = comic_page(width, height, 7)
    png(folder + "/page_rgba.png", width, height, 4, page)
    cmyk_tiff(folder + "/page_cmyk.tif", width, height, 4, to_cmyk(page, False))
    cmyk_tiff(folder + "/page_cmyka.tif", width, height, 5, to_cmyk(page, True))
    png(folder + "/page_gray.png", width, height, 1, gray(page))
    art = line_art(width, height)
    png(folder + "/lineart.png", width, height, 3, drop_alpha(art))
    png(folder + "/lineart_revised.png", width, height, 3, drop_alpha(revised(art, width, height)))
    png(folder + "/lineart_clear.png", width, height, 4, line_art(width, height, alpha_paper=True))
    png(folder + "/hints.png", width, height, 3, drop_alpha(hints(width, height)))
    cmyk_tiff(folder + "/hints_cmyk.tif", width, height, 4, to_cmyk(hints(width, height), False))
    cmyk_tiff(folder + "/lineart_cmyk.tif", width, height, 4, to_cmyk(art, False))
    with open(folder + "/palette.gpl", "w") as f:
        f.write("GIMP Palette\nName: test\nColumns: 4\n#\n250 200 120 skin\n 90 140 230\n120 200 90\n"
                "230 120 160\n250 240 200\n")
    with open(folder + "/palette_dark.txt", "w") as f:
        f.write("#ffcc88\n#030303\n")


def big_page(path, width, height):
    """A large page for timing: panels and lines, drawn row by row."""
    colours = [bytes((60 + 37 * k % 190, 90 + 53 * k % 160, 70 + 71 * k % 180)) for k in range(16)]
    rows = []
    for y in range(height):
        if y % 97 < 3:
            rows.append(b"\0" + b"\0" * (width * 3))
            continue
        parts = []
        for panel in range(0, width, 131):
            n = min(131, width - panel)
            colour = colours[(panel // 131 + 3 * (y // 97)) % 16]
            parts.append(b"\0\0\0" * min(2, n) + colour * max(0, n - 2))
        rows.append(b"\0" + b"".join(parts))
    raw = b"".join(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 1)))
        f.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    if sys.argv[1] == "--big":
        big_page(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    else:
        write_all(sys.argv[1])
