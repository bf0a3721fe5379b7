#include <gtest/gtest.h>

#include <set>

#include "autoflat/AutoColours.h"
#include "autoflat/SmallRegions.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

// A wall of bricks: many regions, each touching up to six others.
CTestPage Bricks() {
    CTestPage page(200, 160);
    page.Box(0, 0, 200, 160, 2);
    for (int row = 0; row < 8; ++row) {
        page.Fill(0, row * 20, 200, row * 20 + 2, 0);
        for (int x = (row % 2) * 12; x < 200; x += 24) page.Fill(x, row * 20, x + 2, row * 20 + 20, 0);
    }
    return page;
}

std::vector<SBorder> Touching(const SAutoFlatResult& result) {
    return Borders(result.labels.data(), result.width, result.height, 0, 1);
}

SAutoFlatSettings Settings() {
    SAutoFlatSettings settings;
    settings.gap = 4;
    settings.minRegion = 0;
    return settings;
}

}  // namespace

TEST(AutoFlatColours, TouchingRegionsStandApart) {
    const SAutoFlatResult result = Flat(Bricks(), Settings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    ASSERT_GT(result.regions.size(), 60u);
    const auto borders = Touching(result);
    ASSERT_FALSE(borders.empty());
    for (const SBorder& border : borders) {
        const double distance = DeltaE2000(LabOf(result.regions[border.a].colour, false),
                                           LabOf(result.regions[border.b].colour, false));
        EXPECT_GE(distance, kMinTouchingDeltaE) << border.a << " and " << border.b;
    }
}

TEST(AutoFlatColours, EveryRegionItsOwnPrintableColour) {
    const SAutoFlatResult result = Flat(Bricks(), Settings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    std::set<uint32_t> seen;
    for (const SRegion& region : result.regions) {
        const SColour& c = region.colour;
        EXPECT_TRUE(seen.insert(c.v[0] | c.v[1] << 8 | c.v[2] << 16).second);
        EXPECT_TRUE(InPrintGamut(c.v[0], c.v[1], c.v[2]));
    }
}

TEST(AutoFlatColours, PrintGamutLeavesOutScreenOnlyColours) {
    EXPECT_FALSE(InPrintGamut(0, 0, 255));    // screen blue
    EXPECT_FALSE(InPrintGamut(0, 255, 0));    // screen green
    EXPECT_FALSE(InPrintGamut(255, 0, 255));  // screen magenta
    EXPECT_TRUE(InPrintGamut(200, 170, 120));
}

TEST(AutoFlatColours, ThePaletteRestrictsTheChoice) {
    SAutoFlatSettings settings = Settings();
    settings.palette = {SColour{{230, 80, 80, 0}}, SColour{{80, 200, 80, 0}}, SColour{{80, 80, 230, 0}},
                        SColour{{240, 220, 60, 0}}, SColour{{60, 200, 220, 0}}};
    const SAutoFlatResult result = Flat(Bricks(), settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    for (const SRegion& region : result.regions)
        EXPECT_NE(std::find(settings.palette.begin(), settings.palette.end(), region.colour),
                  settings.palette.end());
    for (const SBorder& border : Touching(result))
        EXPECT_NE(result.regions[border.a].colour, result.regions[border.b].colour);
}

TEST(AutoFlatColours, CmykPagesGetInks) {
    CTestPage page(80, 60, EPageKind::Cmyk);
    page.Box(10, 10, 70, 50, 2);
    page.Set(40, 30, {0, 200, 200, 0});  // a red hint in inks
    const SAutoFlatResult result = Flat(page, Settings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(result.flatsKind, EPageKind::Cmyk);
    EXPECT_EQ(result.regions[LabelAt(result, 30, 30)].colour, (SColour{{0, 200, 200, 0}}));
    const SColour outside = result.regions[LabelAt(result, 2, 2)].colour;
    EXPECT_NE(outside, (SColour{{0, 0, 0, 0}}));
    EXPECT_EQ(std::vector<uint8_t>(result.flats.begin(), result.flats.begin() + 4),
              std::vector<uint8_t>(outside.v, outside.v + 4));
}
