"""Checks of the fixes benchmark's measures and of its page on tiny inputs."""

import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import autoflat_measures as measures  # noqa: E402
import fixes_bench  # noqa: E402
import realistic_page  # noqa: E402

RED, DARK_RED, BLUE, GREEN, GREY = (200, 40, 40), (196, 42, 40), (40, 90, 200), (50, 160, 60), (128, 128, 128)


def score(flats, labels, touching, min_pixels=4, edge=()):
    ids, colours, _ = measures.colour_ids(flats)
    areas = sorted(int(v) for v in np.unique(labels) if v)
    table = fixes_bench.area_table(labels, ids, len(colours))
    return fixes_bench.score_flats(table, areas, touching, colours, min_pixels, edge)


class FixesTest(unittest.TestCase):
    def setUp(self):
        # Three areas side by side in a 10x30 strip: 1 | 2 | 3.
        self.labels = np.zeros((10, 30), dtype=np.int32)
        self.labels[:, 0:10], self.labels[:, 10:20], self.labels[:, 20:30] = 1, 2, 3
        self.touching = [(1, 2), (2, 3)]

    def flats(self, *colours):
        rgb = np.zeros((10, 30, 3), dtype=np.uint8)
        for k, colour in enumerate(colours):
            rgb[:, 10 * k:10 * (k + 1)] = colour
        return rgb

    def test_each_fix_is_counted_once_by_its_kind(self):
        clean = score(self.flats(RED, BLUE, GREEN), self.labels, self.touching)
        self.assertEqual((clean["fixes"], clean["one_colour"], clean["areas"]), (0, 3, 3))

        split_inside = self.flats(RED, BLUE, GREEN)
        split_inside[5:, 0:10] = GREY
        split_inside[0, 20:23] = RED  # under the smallest region: a speck, not a colour
        r = score(split_inside, self.labels, self.touching)
        self.assertEqual((r["merges"], r["splits"], r["recolours"]), (1, 0, 0))
        self.assertEqual(r["colours_per_area"], {1: 2, 2: 1, 3: 1})

        shared = score(self.flats(RED, BLUE, RED), self.labels, self.touching)
        self.assertEqual((shared["merges"], shared["splits"], shared["recolours"]), (0, 1, 0))

        alike = score(self.flats(RED, DARK_RED, GREEN), self.labels, self.touching)
        self.assertEqual((alike["merges"], alike["splits"], alike["recolours"]), (0, 0, 1))
        self.assertAlmostEqual(alike["least_delta"], float(measures.ciede2000(
            measures.srgb_to_lab(np.array(RED, dtype=np.uint8)),
            measures.srgb_to_lab(np.array(DARK_RED, dtype=np.uint8)))), places=6)

        # Far apart areas alike are no recolour, only a close least distance.
        apart = score(self.flats(RED, BLUE, DARK_RED), self.labels, self.touching)
        self.assertEqual(apart["fixes"], 0)
        self.assertLess(apart["least_delta"], 3)

    def test_purity_is_weighted_apart_for_edge_and_inner_areas(self):
        rgb = self.flats(RED, BLUE, GREEN)
        rgb[0:5, 20:30] = GREY  # half of area 3
        rgb[0:1, 10:20] = GREY  # a tenth of area 2
        r = score(rgb, self.labels, self.touching, edge=(1, 3))
        self.assertAlmostEqual(r["edge_purity"], (100 + 50) / 200)
        self.assertAlmostEqual(r["inner_purity"], 0.9)

    def test_kept_share_counts_only_the_mask(self):
        before = self.flats(RED, BLUE, GREEN)
        after = self.flats(RED, GREY, GREEN)
        self.assertAlmostEqual(fixes_bench.kept_share(before, after, self.labels != 3), 0.5)
        self.assertEqual(fixes_bench.kept_share(before, after, self.labels == 3), 1.0)
        self.assertIsNone(fixes_bench.kept_share(before, after, self.labels == 9))

    def test_a_dot_is_taken_only_where_its_area_is_mostly_its_colour(self):
        flats = self.flats(RED, BLUE, GREEN)
        flats[:4, 10:20] = RED  # area 2 is 40% red, 60% blue
        dots = [{"area": 1, "rgb": list(DARK_RED)}, {"area": 2, "rgb": list(RED)}, {"area": 3, "rgb": list(GREEN)}]
        self.assertEqual(fixes_bench.dots_taken(flats, self.labels, dots), 2)

    def test_time_report_is_read_in_either_clock_form(self):
        short = "\tElapsed (wall clock) time (h:mm:ss or m:ss): 0:02.31\n\tMaximum resident set size (kbytes): 204800\n"
        long = "\tElapsed (wall clock) time (h:mm:ss or m:ss): 1:02:03\n\tMaximum resident set size (kbytes): 1024\n"
        self.assertEqual(fixes_bench.parse_time(short), (2.31, 200.0))
        self.assertEqual(fixes_bench.parse_time(long), (3723.0, 1.0))


class PageTest(unittest.TestCase):
    def test_tiny_page_is_the_same_every_run_and_its_flats_are_closed(self):
        pages = []
        for _ in range(2):
            sheet = realistic_page.draw_sheet(310, 438, 3)
            ink, truth = realistic_page.render_layers(sheet)
            page, specks = realistic_page.grain(sheet, ink, 3)
            pages.append(page)
        self.assertTrue(np.array_equal(pages[0], pages[1]))
        revised, _ = realistic_page.render_layers(sheet, revised=True)
        self.assertGreater(int(np.count_nonzero(revised != ink)), 0)
        # A flat that leaked into another would put two names on one label.
        line = truth >= 128
        from scipy import ndimage
        full, _ = ndimage.label(~line)
        owners = {}
        for x, y, name, _ in sheet.markers:
            owners.setdefault(int(full[y, x]), []).append(name)
        self.assertNotIn(0, owners)
        self.assertEqual([names for names in owners.values() if len(names) > 1], [])
        self.assertEqual(len(owners), len(sheet.markers))


if __name__ == "__main__":
    unittest.main()
