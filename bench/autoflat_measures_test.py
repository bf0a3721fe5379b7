#!/usr/bin/python3
"""The flats benchmark's own measures and pages.

  /usr/bin/python3 -m unittest discover -s bench -p 'autoflat_*_test.py'
"""

import os
import sys
import unittest

import numpy as np
from scipy import ndimage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import autoflat_bench as bench  # noqa: E402
import autoflat_measures as measures  # noqa: E402


class ColourDifference(unittest.TestCase):
    # Sharma, Wu and Dalal's CIEDE2000 test data (2005): pairs chosen across
    # its hue-wrap, near-neutral and large-difference cases.
    PAIRS = [
        ((50.0, 2.6772, -79.7751), (50.0, 0.0, -82.7485), 2.0425),
        ((50.0, 0.0, 0.0), (50.0, -1.0, 2.0), 2.3669),
        ((50.0, 2.49, -0.001), (50.0, -2.49, 0.0009), 7.1792),
        ((50.0, 2.49, -0.001), (50.0, -2.49, 0.0011), 7.2195),
        ((50.0, 2.5, 0.0), (73.0, 25.0, -18.0), 27.1492),
        ((50.0, 2.5, 0.0), (61.0, -5.0, 29.0), 22.8977),
        ((50.0, 2.5, 0.0), (56.0, -27.0, -3.0), 31.9030),
        ((60.2574, -34.0099, 36.2677), (60.4626, -34.1751, 39.4387), 1.2644),
    ]

    def test_reference_pairs(self):
        first = np.array([p[0] for p in self.PAIRS])
        second = np.array([p[1] for p in self.PAIRS])
        expected = np.array([p[2] for p in self.PAIRS])
        np.testing.assert_allclose(measures.ciede2000(first, second), expected, atol=1e-4)
        np.testing.assert_allclose(measures.ciede2000(second, first), expected, atol=1e-4)

    def test_srgb_anchors(self):
        lab = measures.srgb_to_lab(np.array([[255, 255, 255], [0, 0, 0], [255, 0, 0]], dtype=np.uint8))
        np.testing.assert_allclose(lab[0], [100, 0, 0], atol=0.05)
        np.testing.assert_allclose(lab[1], [0, 0, 0], atol=0.05)
        np.testing.assert_allclose(lab[2], [53.24, 80.09, 67.20], atol=0.05)


def flats(rows):
    """An RGB image from rows of one-letter colour names."""
    names = {"r": (220, 40, 40), "b": (40, 90, 220), "g": (40, 180, 60), "y": (230, 200, 30),
             "k": (0, 0, 0), "w": (255, 255, 255), "s": (220, 45, 45), "p": (150, 60, 170)}
    return np.array([[names[c] for c in row] for row in rows], dtype=np.uint8)


def score(gt_rows, flat_rows, optional=(), min_region=1, hints=(), page_rows=None):
    gt = np.array([[int(c) for c in row] for row in gt_rows], dtype=np.int32)
    count = int(gt.max())
    wide = np.zeros(count + 1, dtype=bool)
    wide[list(optional)] = True
    out = flats(flat_rows)
    page = flats(page_rows) if page_rows else np.full_like(out, 255)
    ids, colours, pixels = measures.colour_ids(out)
    kept = measures.kept_counts(ids, len(colours), out, page)
    return measures.score(gt, count, wide, min_region, ids, colours, pixels, kept, hints)


# Three regions side by side, 1 | 2 | 3, lines (0) between them.
TRUTH = ["1111022033"] * 3


class RegionScores(unittest.TestCase):
    def test_separate_regions_score_clean(self):
        r = score(TRUTH, ["rrrrrbbggg"] * 3)
        self.assertEqual((r["leaks"], r["spurious"], r["lost"], r["leftover_pixels"]), (0, 0, [], 0))
        self.assertEqual(r["regions"], 3)
        self.assertEqual(r["touching_pairs"], 2)

    def test_two_regions_of_one_colour_leak_and_one_is_lost(self):
        r = score(TRUTH, ["rrrrrrrggg"] * 3)
        self.assertEqual(r["leaks"], 1)
        self.assertEqual(r["lost"], [2])  # the smaller of the two gives its colour away
        self.assertEqual(r["leak_groups"], [[1, 2]])

    def test_optional_region_may_merge(self):
        r = score(TRUTH, ["rrrrrrrggg"] * 3, optional=[2])
        self.assertEqual((r["leaks"], r["lost"]), (0, []))

    def test_small_regions_may_merge(self):
        r = score(TRUTH, ["rrrrrrrggg"] * 3, min_region=7)
        self.assertEqual((r["leaks"], r["lost"]), (0, []))

    def test_sliver_is_spurious_and_unmelted_line_is_left_over(self):
        page = ["wwwwkwwkww"] * 3
        r = score(TRUTH, ["rrrrrbbggg", "rrrrkpbggg", "rrrrkbbggg"], page_rows=page)
        self.assertEqual(r["spurious"], 1)
        self.assertEqual(r["spurious_pixels"], 1)
        self.assertEqual(r["leftover_pixels"], 2)
        self.assertEqual(r["leaks"], 0)

    def test_new_grey_is_spurious_not_left_over(self):
        r = score(TRUTH, ["rrrrrbbggg", "rrrrkbbggg", "rrrrkbbggg"], page_rows=["wwwwwwwkww"] * 3)
        self.assertEqual((r["spurious"], r["leftover_pixels"]), (1, 0))

    def test_region_split_in_half_is_lost(self):
        r = score(["111111", "111111"], ["rrbbyy", "rrbbyy"])
        self.assertEqual(r["lost"], [1])
        self.assertEqual(r["spurious"], 2)

    def test_closest_touching_colours(self):
        r = score(TRUTH, ["rrrrrssggg"] * 3)
        low, high, delta = r["closest_pair"]
        self.assertEqual({low, high}, {(220, 40, 40), (220, 45, 45)})
        lab = measures.srgb_to_lab(np.array([low, high], dtype=np.uint8))
        self.assertAlmostEqual(delta, float(measures.ciede2000(lab[0], lab[1])))
        self.assertEqual(r["close_pairs"], 1)

    def test_alike_colours_are_counted_wherever_they_are(self):
        # r and s are under one unit apart; regions 1 and 3 do not touch.
        self.assertEqual(score(TRUTH, ["rrrrrbbsss"] * 3)["alike_pairs"], 1)
        self.assertEqual(score(TRUTH, ["rrrrrbbggg"] * 3)["alike_pairs"], 0)
        hinted = score(TRUTH, ["rrrrrbbsss"] * 3, hints=[(3, (220, 45, 45))])
        self.assertEqual(hinted["alike_pairs"], 0)

    def test_hints_are_honoured_by_colour(self):
        r = score(TRUTH, ["rrrrrbbggg"] * 3, hints=[(1, (220, 40, 40)), (2, (220, 40, 40)), (3, (41, 180, 60))])
        self.assertEqual(r["hints"], (2, 3))

    def test_regions_hinted_alike_share_a_colour_without_leaking(self):
        hinted = [(1, (220, 40, 40)), (3, (220, 40, 40))]
        r = score(TRUTH, ["rrrrrbbrrr"] * 3, hints=hinted)
        self.assertEqual((r["leaks"], r["lost"], r["hints"]), (0, [], (2, 2)))
        r = score(TRUTH, ["rrrrrrrrrr"] * 3, hints=hinted)
        self.assertEqual((r["leaks"], r["lost"]), (1, [2]))

    def test_touching_hint_colours_are_not_the_tools_choice(self):
        hinted = [(1, (220, 40, 40)), (2, (220, 45, 45))]
        r = score(TRUTH, ["rrrrrssggg"] * 3, hints=hinted)
        self.assertEqual(r["close_pairs"], 0)
        self.assertEqual(r["touching_pairs"], 1)

    def test_sparse_count_matches_dense(self):
        saved = measures.DENSE_CELLS
        try:
            measures.DENSE_CELLS = 0
            sparse = score(TRUTH, ["rrrrrrrggk"] * 3)
        finally:
            measures.DENSE_CELLS = saved
        dense = score(TRUTH, ["rrrrrrrggk"] * 3)
        self.assertEqual(sparse, dense)


class GroundTruth(unittest.TestCase):
    def test_spot_black_is_its_own_region_beside_paper(self):
        line = np.zeros((7, 7), dtype=bool)
        line[3, :] = True
        spot = np.zeros((7, 7), dtype=bool)
        spot[4:6, 2:5] = True
        labels, count = measures.ground_truth(line, spot)
        self.assertEqual(count, 3)
        self.assertTrue((labels[3] == 0).all())
        self.assertEqual(len({labels[5, 3], labels[6, 3], labels[0, 0]}), 3)

    def test_diagonal_line_separates(self):
        line = np.eye(5, dtype=bool)
        labels, count = measures.ground_truth(line, np.zeros((5, 5), dtype=bool))
        self.assertEqual(count, 2)


class DrawnPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.page = bench.draw_page(1240, 1754, 5, seed=3)
        cls.rgb, cls.truth, cls.spot = bench.render(cls.page)
        cls.gt, cls.count = measures.ground_truth(cls.truth, cls.spot)

    def test_ladder_gaps_are_open_on_the_page_and_closed_in_the_truth(self):
        inked = ndimage.label(self.rgb[..., 0] >= 128)[0]
        for x, y, tag, _ in self.page.markers:
            if "square, gap" not in tag or tag.startswith("anti"):
                continue
            gap = int(tag.rsplit(" ", 1)[1])
            inside, around = inked[y, x], inked[y - 25, x]
            self.assertEqual(inside == around, gap > 0, tag)
            self.assertNotEqual(self.gt[y, x], 0, tag)

    def test_aliased_square_gap_is_that_many_pixels(self):
        checked = 0
        for x, y, tag, _ in self.page.markers:
            if tag.startswith("aliased thin square, gap"):
                gap = int(tag.rsplit(" ", 1)[1])
                column = self.truth[:y, x]
                top = y - int(np.argmax(column[::-1])) - 1  # the top side's row, closed in the truth
                opened = self.truth[top, x - 30:x + 30] & (self.rgb[top, x - 30:x + 30, 0] == 255)
                self.assertEqual(int(np.sum(opened)), gap, tag)
                checked += 1
        self.assertGreater(checked, 5)

    def test_every_marker_and_hint_lands_in_a_region(self):
        for x, y, tag, _ in self.page.markers:
            self.assertNotEqual(self.gt[y, x], 0, tag)
        for x, y, _, colour in self.page.hints:
            self.assertNotEqual(self.gt[int(y), int(x)], 0)
            self.assertEqual(tuple(self.rgb[int(y), int(x)]), colour)

    def test_spot_blacks_are_black_on_the_page(self):
        self.assertTrue((self.rgb[self.spot][:, 0] < 128).all())
        spots = np.unique(self.gt[self.spot])
        self.assertEqual(len(spots), 3)


if __name__ == "__main__":
    unittest.main()
