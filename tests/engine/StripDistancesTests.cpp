// The strip transform against the distance measured the long way round.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/fastpath/StripDistances.h"
#include "tests/engine/FastPathTesting.h"

using namespace fastpath_testing;

namespace {

TEST(StripDistances, EveryBlackPixelOfEveryStripGetsItsExactDistanceUpToTheReach) {
    std::mt19937 random(31);
    const uint32_t reaches[] = {1, 3, 10, 17, 65535};
    int checked = 0, beyond = 0;
    for (int round = 0; round < 120; ++round) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        const int width = pick(1, 70), height = pick(1, 90);
        const bool cmyk = pick(0, 1) == 1;
        const EArt art = EArt(pick(0, 3));
        const sim::CHostImage page = RandomArt(random, width, height, cmyk, art);
        CLaidOutImage laidOut(page, SpecFor(page, cmyk, sim::ELayout(pick(0, 2)), pick(0, 1) == 1));
        const uint32_t reach = reaches[pick(0, 4)];
        CStripDistances distances(laidOut.Flat(), reach);
        const uint64_t cap = uint64_t(reach) * reach + 1;
        ASSERT_EQ(distances.Beyond(), cap);

        // Strips in any order, as bands and the lazy decision ask for them.
        for (int strip = 0; strip < 4; ++strip) {
            const int first = pick(0, height - 1), rows = pick(1, std::min(42, height - first));
            distances.Compute(first, rows);
            for (int y = first; y < first + rows; ++y)
                for (int x = 0; x < width; ++x) {
                    if (!IsBlack(page, x, y, cmyk)) continue;
                    const uint64_t expected = std::min(MeasuredDistSq(page, cmyk, x, y), cap);
                    ASSERT_EQ(distances.DistSq(x, y), expected)
                        << width << "x" << height << " reach " << reach << " pixel " << x << "," << y
                        << " strip " << first << "+" << rows << " round " << round;
                    ++checked;
                    beyond += expected == cap;
                }
        }
    }
    // Both kinds of answer were tried often.
    EXPECT_GT(checked, 20000);
    EXPECT_GT(beyond, 1000);
    EXPECT_LT(beyond, checked * 3 / 4);
}

TEST(StripDistances, ColourFarAboveOrBelowTheStripCountsOnlyWithinTheReach) {
    // One column of black 300 rows tall with colour only in its first and
    // last rows: from the middle, 149 and 150 rows away.
    sim::CHostImage page(1, 300, 3);
    page.SetPixel(0, 0, {200, 10, 10});
    page.SetPixel(0, 299, {10, 200, 10});
    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
    CStripDistances near(laidOut.Flat(), 149), far(laidOut.Flat(), 148);
    near.Compute(140, 20);
    far.Compute(140, 20);
    EXPECT_EQ(near.DistSq(0, 149), 149u * 149u);
    EXPECT_EQ(near.DistSq(0, 150), 149u * 149u);
    EXPECT_EQ(far.DistSq(0, 149), far.Beyond());
    EXPECT_EQ(far.DistSq(0, 147), 147u * 147u);
}

}  // namespace

namespace {

// The walk asks about the colour at its pixel's distance through the column
// distances of the pixel's own row; past 16382 rows those are no longer held
// exactly and the answer must come from the image itself.
TEST(StripDistances, ColumnAnswersHoldNearAndFarAlike) {
    const int height = 17000;
    sim::CHostImage page(2, height, 3);
    page.SetPixel(0, 0, {200, 10, 10});
    page.SetPixel(1, 16400, {10, 200, 10});
    page.SetPixel(1, 16420, {10, 10, 200});
    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
    CStripDistances distances(laidOut.Flat(), 65535);
    distances.Compute(16410, 42);

    // Column 0: the only colour is 16410 rows up, beyond what is held exactly.
    EXPECT_TRUE(distances.ColumnMayHold(0, 16410, 16410));
    EXPECT_TRUE(distances.IsColourAt(0, 16410, -16410));
    EXPECT_FALSE(distances.IsColourAt(0, 16410, -16409));
    EXPECT_FALSE(distances.IsColourAt(0, 16410, 16410 - height));
    // Column 1: colour 10 rows up and 10 rows down, both at the same distance.
    EXPECT_TRUE(distances.ColumnMayHold(1, 16410, 10));
    EXPECT_FALSE(distances.ColumnMayHold(1, 16410, 9));
    EXPECT_TRUE(distances.IsColourAt(1, 16410, -10));
    EXPECT_TRUE(distances.IsColourAt(1, 16410, 10));
    EXPECT_FALSE(distances.IsColourAt(1, 16410, 11));
    // From row 16415 only the colour below is at the column distance.
    EXPECT_TRUE(distances.IsColourAt(1, 16415, 5));
    EXPECT_FALSE(distances.IsColourAt(1, 16415, -5));
    EXPECT_EQ(distances.DistSq(0, 16415), 1u + 5u * 5u);
}

}  // namespace
