"""How far a flatted page is from the regions its line art was drawn with.

The ground truth is a label per pixel: 0 on a line, else the region's number.
A flatting is scored by its colours alone, so that every tool is judged the
same way whatever else it writes: one colour is one output region. See
autoflat_bench.py for what each figure means.
"""

import numpy as np
from scipy import ndimage

# CIEDE2000 under which two colours look the same side by side.
ALIKE_DELTA = 2.0

# Past this many (region, colour) cells the sparse count beats the dense one.
DENSE_CELLS = 20_000_000


def srgb_to_lab(rgb):
    """CIE L*a*b* (D65) of sRGB colours given as (..., 3) bytes."""
    c = np.asarray(rgb, dtype=np.float64) / 255.0
    linear = np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)
    m = np.array([[0.4124564, 0.3575761, 0.1804375],
                  [0.2126729, 0.7151522, 0.0721750],
                  [0.0193339, 0.1191920, 0.9503041]])
    xyz = linear @ m.T / np.array([0.95047, 1.0, 1.08883])
    f = np.where(xyz > (6 / 29) ** 3, np.cbrt(xyz), xyz / (3 * (6 / 29) ** 2) + 4 / 29)
    return np.stack([116 * f[..., 1] - 16, 500 * (f[..., 0] - f[..., 1]), 200 * (f[..., 1] - f[..., 2])], axis=-1)


def ciede2000(lab1, lab2):
    """CIEDE2000 colour difference (kL = kC = kH = 1) of (..., 3) L*a*b* arrays."""
    lab1, lab2 = np.asarray(lab1, dtype=np.float64), np.asarray(lab2, dtype=np.float64)
    l1, a1, b1 = lab1[..., 0], lab1[..., 1], lab1[..., 2]
    l2, a2, b2 = lab2[..., 0], lab2[..., 1], lab2[..., 2]
    c_mean = (np.hypot(a1, b1) + np.hypot(a2, b2)) / 2
    g = 0.5 * (1 - np.sqrt(c_mean**7 / (c_mean**7 + 25.0**7)))
    a1p, a2p = (1 + g) * a1, (1 + g) * a2
    c1p, c2p = np.hypot(a1p, b1), np.hypot(a2p, b2)
    h1p = np.degrees(np.arctan2(b1, a1p)) % 360
    h2p = np.degrees(np.arctan2(b2, a2p)) % 360
    chroma_zero = (c1p * c2p) == 0

    dl = l2 - l1
    dc = c2p - c1p
    dh = h2p - h1p
    dh = np.where(dh > 180, dh - 360, np.where(dh < -180, dh + 360, dh))
    dh = np.where(chroma_zero, 0, dh)
    dH = 2 * np.sqrt(c1p * c2p) * np.sin(np.radians(dh / 2))

    l_mean = (l1 + l2) / 2
    cp_mean = (c1p + c2p) / 2
    h_sum = h1p + h2p
    h_mean = np.where(np.abs(h1p - h2p) <= 180, h_sum / 2,
                      np.where(h_sum < 360, (h_sum + 360) / 2, (h_sum - 360) / 2))
    h_mean = np.where(chroma_zero, h_sum, h_mean)

    t = (1 - 0.17 * np.cos(np.radians(h_mean - 30)) + 0.24 * np.cos(np.radians(2 * h_mean))
         + 0.32 * np.cos(np.radians(3 * h_mean + 6)) - 0.20 * np.cos(np.radians(4 * h_mean - 63)))
    d_theta = 30 * np.exp(-(((h_mean - 275) / 25) ** 2))
    r_c = 2 * np.sqrt(cp_mean**7 / (cp_mean**7 + 25.0**7))
    s_l = 1 + 0.015 * (l_mean - 50) ** 2 / np.sqrt(20 + (l_mean - 50) ** 2)
    s_c = 1 + 0.045 * cp_mean
    s_h = 1 + 0.015 * cp_mean * t
    r_t = -np.sin(np.radians(2 * d_theta)) * r_c
    return np.sqrt((dl / s_l) ** 2 + (dc / s_c) ** 2 + (dH / s_h) ** 2 + r_t * (dc / s_c) * (dH / s_h))


def ground_truth(truth_line, spot):
    """Region labels: 4-connected paper between the closed lines, then each spot black.

    Spot blacks touch the paper around them without a line between, so they
    are labelled on their own rather than as paper components.
    """
    paper = ~truth_line
    paper &= ~spot
    labels, paper_count = ndimage.label(paper)
    del paper
    spots, spot_count = ndimage.label(spot)
    labels[spot] = spots[spot] + paper_count
    return labels, paper_count + spot_count


def colour_ids(rgb):
    """Each pixel's colour as a small integer, the colours and their pixel counts."""
    packed = rgb[..., 0].astype(np.uint32) << 16
    packed |= rgb[..., 1].astype(np.uint32) << 8
    packed |= rgb[..., 2]
    counts = np.bincount(packed.ravel(), minlength=1 << 24)
    present = np.flatnonzero(counts)
    lut = np.zeros(1 << 24, dtype=np.int32)
    lut[present] = np.arange(present.size, dtype=np.int32)
    ids = lut[packed]
    del packed, lut
    colours = np.stack([(present >> 16) & 255, (present >> 8) & 255, present & 255], axis=-1).astype(np.uint8)
    return ids, colours, counts[present]


def region_colour_table(gt, region_count, ids, colour_count):
    """(region, colour, pixels) for every region pixel, lines left out."""
    on_region = gt > 0
    regions = gt[on_region].astype(np.int64)
    colours = ids[on_region]
    del on_region
    cells = (region_count + 1) * colour_count
    keys = regions * colour_count + colours
    del regions, colours
    if cells <= DENSE_CELLS:
        counts = np.bincount(keys, minlength=cells)
        keys = np.flatnonzero(counts)
        counts = counts[keys]
    else:
        keys, counts = np.unique(keys, return_counts=True)
    return keys // colour_count, keys % colour_count, counts


def first_per_group(groups, values, weights):
    """For each group, the value with the largest weight and that weight."""
    order = np.lexsort((-weights, groups))
    groups, values, weights = groups[order], values[order], weights[order]
    first = np.ones(groups.size, dtype=bool)
    first[1:] = groups[1:] != groups[:-1]
    return groups[first], values[first], weights[first]


def touching_pairs(ids):
    """Distinct pairs of colour ids that meet across a pixel edge, as (low, high)."""
    pairs = []
    for a, b in ((ids[:, :-1], ids[:, 1:]), (ids[:-1, :], ids[1:, :])):
        differ = a != b
        x, y = a[differ], b[differ]
        pairs.append(np.stack([np.minimum(x, y), np.maximum(x, y)], axis=-1))
    if not pairs:
        return np.zeros((0, 2), dtype=np.int32)
    return np.unique(np.concatenate(pairs), axis=0)


def kept_counts(ids, colour_count, flats, page):
    """For each colour, its pixels that are exactly what the page had there."""
    same = np.all(flats == page, axis=-1)
    return np.bincount(ids[same], minlength=colour_count)


def score(gt, region_count, optional, min_region, ids, colours, colour_pixels, kept, hints=(), close_delta=10.0):
    """Every figure of one flatting, as a dict.

    optional: bool per region label (index 0 unused), regions whose merging is
    allowed. kept: per colour, its pixels left as the page had them (see
    kept_counts). hints: (region label, (r, g, b)) of each hint dot.
    """
    colour_count = len(colours)
    region_of, colour_of, pixels = region_colour_table(gt, region_count, ids, colour_count)

    area = np.bincount(region_of, weights=pixels, minlength=region_count + 1)
    regions, dominant, dominant_pixels = first_per_group(region_of, colour_of, pixels)
    dominant_of = np.full(region_count + 1, -1, dtype=np.int64)
    dominant_of[regions] = dominant
    share = np.zeros(region_count + 1)
    share[regions] = dominant_pixels / area[regions]
    owned_colours, owner, _ = first_per_group(colour_of, region_of, pixels)
    owner_of = np.full(colour_count, -1, dtype=np.int64)
    owner_of[owned_colours] = owner

    required = np.zeros(region_count + 1, dtype=bool)
    required[1:] = area[1:] >= min_region
    required &= ~np.asarray(optional, dtype=bool)
    required_regions = np.flatnonzero(required)

    lab = srgb_to_lab(colours)
    honoured = np.zeros(region_count + 1, dtype=bool)
    for region, rgb in hints:
        colour = dominant_of[region]
        if colour >= 0 and ciede2000(lab[colour], srgb_to_lab(np.array(rgb, dtype=np.uint8))) <= 1.0:
            honoured[region] = True
    hint_colour = np.zeros(colour_count, dtype=bool)
    hint_colour[dominant_of[honoured]] = True

    # Regions hinted alike share their colour by request: together they
    # count as one sharer, and none of them is lost for it.
    sharer = dominant_of[required_regions]
    by_hint = honoured[required_regions]
    own_sharers = np.bincount(sharer[~by_hint], minlength=colour_count)
    hinted_sharers = np.bincount(sharer[by_hint], minlength=colour_count) > 0
    sharers = own_sharers + hinted_sharers
    leaks = int(np.sum(np.maximum(sharers - 1, 0)))
    leak_groups = [required_regions[sharer == colour].tolist() for colour in np.flatnonzero(sharers > 1)]

    owners = owner_of[sharer]
    own_theirs = (owners == required_regions) | (by_hint & honoured[owners])
    lost = required_regions[~own_theirs | (share[required_regions] < 0.5)]

    is_region_colour = np.zeros(colour_count, dtype=bool)
    is_region_colour[dominant_of[dominant_of >= 0]] = True
    # A colour that is no region's is what the page had there (line art,
    # fringes, paper the tool never reached) or something the tool made.
    leftover = ~is_region_colour & (2 * np.asarray(kept) > colour_pixels)
    spurious = ~is_region_colour & ~leftover

    # Two hint colours side by side are the hints' choice, not the tool's.
    pairs = touching_pairs(ids)
    pairs = pairs[is_region_colour[pairs[:, 0]] & is_region_colour[pairs[:, 1]]
                  & ~(hint_colour[pairs[:, 0]] & hint_colour[pairs[:, 1]])]
    if len(pairs):
        deltas = ciede2000(lab[pairs[:, 0]], lab[pairs[:, 1]])
        closest = int(np.argmin(deltas))
        closest_pair = (tuple(int(v) for v in colours[pairs[closest, 0]]),
                        tuple(int(v) for v in colours[pairs[closest, 1]]), float(deltas[closest]))
        close_pairs = int(np.sum(deltas < close_delta))
    else:
        closest_pair, close_pairs = None, 0

    # Colours a magic wand with a little tolerance would take together,
    # wherever the regions are.
    chosen = np.flatnonzero(is_region_colour & ~hint_colour)
    alike = 0
    for k, c in enumerate(chosen[:-1]):
        alike += int(np.sum(ciede2000(lab[c], lab[chosen[k + 1:]]) < ALIKE_DELTA))

    return {
        "regions": int(np.count_nonzero(area[1:])),
        "alike_pairs": alike,
        "required": int(required_regions.size),
        "leaks": leaks,
        "leak_groups": leak_groups,
        "lost": lost.tolist(),
        "spurious": int(np.count_nonzero(spurious)),
        "spurious_pixels": int(colour_pixels[spurious].sum()),
        # (pixels, the region holding most of them), largest first
        "spurious_where": sorted(((int(colour_pixels[c]), int(owner_of[c])) for c in np.flatnonzero(spurious)),
                                 reverse=True),
        "leftover_pixels": int(colour_pixels[leftover].sum()),
        # (pixels, colour, the region holding most of them), largest first
        "leftover_where": sorted(((int(colour_pixels[c]), tuple(int(v) for v in colours[c]), int(owner_of[c]))
                                  for c in np.flatnonzero(leftover)), reverse=True),
        "colours": colour_count,
        "touching_pairs": int(len(pairs)),
        "closest_pair": closest_pair,
        "close_pairs": close_pairs,
        "hints": (int(sum(honoured[region] for region, _ in hints)), len(hints)),
    }
