// Re-flatting revised line art with the earlier flats keeps their colours.
#include <gtest/gtest.h>

#include "autoflat/AutoColours.h"
#include "autoflat/AutoFlats.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

// A row of four boxes side by side under a wide one.
CTestPage Boxes() {
    CTestPage page(200, 120);
    page.Box(0, 0, 200, 120, 2);
    page.Fill(0, 60, 200, 62, 0);
    for (int x = 50; x < 200; x += 50) page.Fill(x, 60, x + 2, 120, 0);
    return page;
}

SAutoFlatSettings Settings() {
    SAutoFlatSettings settings;
    settings.gap = 4;
    settings.minRegion = 0;
    settings.workers = 1;
    return settings;
}

SColour ColourAt(const SAutoFlatResult& result, int x, int y) {
    return result.regions[LabelAt(result, x, y)].colour;
}

SPageView FlatsOf(const SAutoFlatResult& result) {
    return SPageView{result.flats.data(), result.width, result.height, result.flatsKind, 0};
}

void Paint(SAutoFlatResult& flats, int x0, int y0, int x1, int y1, SColour colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) flats.flats[(size_t(y) * flats.width + x) * 3 + c] = colour.v[c];
}

}  // namespace

TEST(AutoFlatEarlierFlats, ARevisionKeepsEveryColourAndTheLargerPartOfASplitKeepsItsOwn) {
    const SAutoFlatResult before = Flat(Boxes(), Settings());
    ASSERT_EQ(before.status, EAutoFlatStatus::Ok);
    CTestPage revised = Boxes();
    revised.Fill(118, 62, 120, 120, 0);  // the third box split, its left part the smaller
    revised.Fill(50, 70, 52, 110, 255);  // the first two boxes joined
    SAutoFlatSettings settings = Settings();
    settings.earlier = FlatsOf(before);
    const SAutoFlatResult after = Flat(revised, settings);
    ASSERT_EQ(after.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(ColourAt(after, 100, 30), ColourAt(before, 100, 30));  // the wide box
    EXPECT_EQ(ColourAt(after, 175, 90), ColourAt(before, 175, 90));  // the last box
    EXPECT_EQ(ColourAt(after, 140, 90), ColourAt(before, 125, 90));  // the split's larger part
    EXPECT_NE(ColourAt(after, 110, 90), ColourAt(before, 125, 90));  // and its smaller one
    EXPECT_NE(ColourAt(after, 110, 90), ColourAt(after, 140, 90));
    const SColour joined = ColourAt(after, 25, 90);
    EXPECT_EQ(ColourAt(after, 75, 90), joined);
    EXPECT_TRUE(joined == ColourAt(before, 25, 90) || joined == ColourAt(before, 75, 90));
}

TEST(AutoFlatEarlierFlats, EveryColourCountsWhateverItsChromaButBlackDoesNot) {
    SAutoFlatResult earlier = Flat(Boxes(), Settings());
    ASSERT_EQ(earlier.status, EAutoFlatStatus::Ok);
    Paint(earlier, 0, 0, 200, 60, SColour{{255, 255, 255, 0}});   // a white balloon
    Paint(earlier, 0, 60, 50, 120, SColour{{128, 128, 128, 0}});  // a gray
    Paint(earlier, 50, 60, 100, 120, SColour{{0, 0, 0, 0}});      // black is no colour of a flat
    SAutoFlatSettings settings = Settings();
    settings.earlier = FlatsOf(earlier);
    const SAutoFlatResult after = Flat(Boxes(), settings);
    ASSERT_EQ(after.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(ColourAt(after, 100, 30), (SColour{{255, 255, 255, 0}}));
    EXPECT_EQ(ColourAt(after, 25, 90), (SColour{{128, 128, 128, 0}}));
    EXPECT_NE(ColourAt(after, 75, 90), (SColour{{0, 0, 0, 0}}));
}

TEST(AutoFlatEarlierFlats, EarlierFlatsOfAnotherSizeOrModelAreRefused) {
    const SAutoFlatResult earlier = Flat(Boxes(), Settings());
    SAutoFlatSettings settings = Settings();
    settings.earlier = FlatsOf(earlier);
    settings.earlier.height -= 1;
    EXPECT_EQ(Flat(Boxes(), settings).status, EAutoFlatStatus::HintsMismatch);
    settings.earlier = FlatsOf(earlier);
    settings.earlier.kind = EPageKind::Cmyk;
    settings.earlier.width = earlier.width * 3 / 4;
    EXPECT_EQ(Flat(Boxes(), settings).status, EAutoFlatStatus::HintsMismatch);
}

// The parts of a split that lose the earlier colour get one that no kept
// region has, and that stands apart from the part beside them that kept it.
TEST(AutoFlatEarlierFlats, ASplitsNewPartStandsApartFromEveryKeptColour) {
    const SAutoFlatResult before = Flat(Boxes(), Settings());
    ASSERT_EQ(before.status, EAutoFlatStatus::Ok);
    CTestPage revised = Boxes();
    revised.Fill(60, 62, 62, 120, 0);  // the second box split, its left part the smaller
    SAutoFlatSettings settings = Settings();
    settings.earlier = FlatsOf(before);
    const SAutoFlatResult after = Flat(revised, settings);
    ASSERT_EQ(after.status, EAutoFlatStatus::Ok);
    const SColour fresh = ColourAt(after, 55, 90), kept = ColourAt(after, 80, 90);
    EXPECT_EQ(kept, ColourAt(before, 75, 90));
    for (const SRegion& region : before.regions) EXPECT_NE(fresh, region.colour);
    for (uint32_t r = 0; r < after.regions.size(); ++r)
        EXPECT_TRUE(r == LabelAt(after, 55, 90) || !(fresh == after.regions[r].colour)) << r;
    EXPECT_GE(DeltaE2000(LabOf(fresh, false), LabOf(kept, false)), kMinTouchingDeltaE);
}
