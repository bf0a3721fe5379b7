#include <gtest/gtest.h>

#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

// A black disc, far wider than any line, in a box.
CTestPage SpotPage() {
    CTestPage page(140, 140);
    page.Box(5, 5, 135, 135, 3);
    for (int y = 40; y < 100; ++y)
        for (int x = 40; x < 100; ++x)
            if ((x - 70) * (x - 70) + (y - 70) * (y - 70) < 30 * 30) page.Fill(x, y, x + 1, y + 1, 0);
    return page;
}

}  // namespace

TEST(AutoFlatSpotBlacks, SolidAreasAreRegionsOfTheirOwn) {
    SAutoFlatSettings settings;
    settings.gap = 8;
    const SAutoFlatResult result = Flat(SpotPage(), settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t spot = LabelAt(result, 70, 70);
    EXPECT_TRUE(result.regions[spot].spotBlack);
    EXPECT_NE(spot, LabelAt(result, 20, 20));
    // Its edge melts like a line: the disc's rim goes to the paper beside it.
    EXPECT_EQ(LabelAt(result, 41, 70), LabelAt(result, 20, 20));
}

TEST(AutoFlatSpotBlacks, AskedForLinesTheyMelt) {
    SAutoFlatSettings settings;
    settings.gap = 8;
    settings.spotBlacks = ESpotBlacks::Lines;
    const SAutoFlatResult result = Flat(SpotPage(), settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(LabelAt(result, 70, 70), LabelAt(result, 20, 20));
    EXPECT_EQ(result.regions.size(), 2u);
    EXPECT_GE(result.meltDepth, 30u);
}

TEST(AutoFlatSpotBlacks, ThickLinesAreNotSpots) {
    CTestPage page(140, 140);
    page.Box(5, 5, 135, 135, 3);
    page.Fill(60, 5, 72, 135, 0);  // a stroke 12 wide
    page.Fill(5, 60, 135, 72, 0);  // crossing another
    SAutoFlatSettings settings;
    settings.gap = 4;  // so the strokes' middles lie deeper than the spot black depth
    settings.minRegion = 0;
    const SAutoFlatResult result = Flat(page, settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(result.regions.size(), 5u);  // the four quarters and the paper around the box
    for (const SRegion& region : result.regions) EXPECT_FALSE(region.spotBlack);
}

TEST(AutoFlatSmallRegions, SpecksFoldIntoTheLongestBorder) {
    // Left and right halves; a closed speck on the dividing line, mostly on
    // the left.
    CTestPage page(120, 80);
    page.Box(5, 5, 115, 75, 2);
    page.Fill(60, 5, 62, 75, 0);
    page.Box(44, 36, 62, 44, 2);
    SAutoFlatSettings settings;
    settings.gap = 4;
    settings.minRegion = 0;
    const SAutoFlatResult kept = Flat(page, settings);
    ASSERT_EQ(kept.status, EAutoFlatStatus::Ok);
    const uint32_t left = LabelAt(kept, 25, 20), right = LabelAt(kept, 90, 20);
    EXPECT_NE(LabelAt(kept, 52, 40), left);
    EXPECT_NE(LabelAt(kept, 52, 40), right);

    settings.minRegion = 100;
    const SAutoFlatResult folded = Flat(page, settings);
    ASSERT_EQ(folded.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(folded.regions.size(), kept.regions.size() - 1);
    EXPECT_EQ(LabelAt(folded, 52, 40), LabelAt(folded, 25, 20));
    EXPECT_NE(LabelAt(folded, 52, 40), LabelAt(folded, 90, 20));
}

TEST(AutoFlatSmallRegions, HintedSpecksStay) {
    CTestPage page(120, 80, EPageKind::Rgb);
    page.Box(5, 5, 115, 75, 2);
    page.Box(44, 36, 56, 44, 2);
    page.Set(50, 40, {200, 40, 40});
    SAutoFlatSettings settings;
    settings.gap = 4;
    settings.minRegion = 1000;
    const SAutoFlatResult result = Flat(page, settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_NE(LabelAt(result, 50, 39), LabelAt(result, 25, 20));
    EXPECT_EQ(result.regions[LabelAt(result, 50, 39)].colour, (SColour{{200, 40, 40, 0}}));
}
