// A region's automatic colour belongs to the region: a hint or a revised
// stretch of line art recolours what it touches, not the rest of the page.
#include <gtest/gtest.h>

#include <set>

#include "autoflat/AutoColours.h"
#include "autoflat/SmallRegions.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

constexpr int kWidth = 240, kHeight = 200, kBrick = 20;

// Bricks in rows, each row shifted by half a brick, so most bricks touch six.
CTestPage Wall() {
    CTestPage page(kWidth, kHeight);
    page.Box(0, 0, kWidth, kHeight, 2);
    for (int row = 0; row < kHeight / kBrick; ++row) {
        page.Fill(0, row * kBrick, kWidth, row * kBrick + 2, 0);
        for (int x = (row % 2) * 12; x < kWidth; x += 24)
            page.Fill(x, row * kBrick, x + 2, row * kBrick + kBrick, 0);
    }
    return page;
}

SAutoFlatSettings Settings() {
    SAutoFlatSettings settings;
    settings.gap = 4;
    settings.minRegion = 0;
    return settings;
}

// Where every brick's inside can be sampled: one point a brick.
std::vector<std::pair<int, int>> BrickPoints() {
    std::vector<std::pair<int, int>> points;
    for (int row = 0; row < kHeight / kBrick; ++row)
        for (int x = (row % 2) * 12 + 7; x + 4 < kWidth; x += 24) points.push_back({x, row * kBrick + 10});
    return points;
}

// The bricks whose colour differs between two runs, by their sample points.
std::set<std::pair<int, int>> Recoloured(const SAutoFlatResult& before, const SAutoFlatResult& after) {
    std::set<std::pair<int, int>> moved;
    for (const auto& [x, y] : BrickPoints())
        if (before.regions[LabelAt(before, x, y)].colour != after.regions[LabelAt(after, x, y)].colour)
            moved.insert({x, y});
    return moved;
}

// The regions touching a region, and itself, as sample points.
std::set<std::pair<int, int>> AroundRegion(const SAutoFlatResult& result, uint32_t region) {
    std::set<uint32_t> near{region};
    for (const SBorder& border : Borders(result.labels.data(), result.width, result.height, 0, 1)) {
        if (border.a == region) near.insert(border.b);
        if (border.b == region) near.insert(border.a);
    }
    std::set<std::pair<int, int>> points;
    for (const auto& point : BrickPoints())
        if (near.count(LabelAt(result, point.first, point.second))) points.insert(point);
    return points;
}

// A region beside a change that must move to stay apart from it may push a
// neighbour of its own to move; a page where any change recolours most
// regions fails by far.
size_t Beyond(const std::set<std::pair<int, int>>& moved, const std::set<std::pair<int, int>>& allowed) {
    size_t beyond = 0;
    for (const auto& point : moved) beyond += allowed.count(point) ? 0 : 1;
    return beyond;
}

}  // namespace

TEST(AutoFlatStableColours, AHintRecoloursItsRegionAndItsNeighboursAndHardlyAnyMore) {
    const CTestPage page = Wall();
    const SAutoFlatResult plain = Flat(page, Settings());
    ASSERT_EQ(plain.status, EAutoFlatStatus::Ok);
    // Hints in three bricks far apart, in colours an automatic choice could
    // have made, so that their neighbours may have to move.
    CTestPage hints(kWidth, kHeight, EPageKind::Rgb);
    const std::vector<std::pair<int, int>> dotted = {{31, 10}, {127, 90}, {211, 170}};
    for (const auto& [x, y] : dotted) hints.Set(x, y, {200, 60, 60});
    const SAutoFlatResult hinted = Flat(page, Settings(), &hints);
    ASSERT_EQ(hinted.status, EAutoFlatStatus::Ok);
    std::set<std::pair<int, int>> allowed;
    for (const auto& [x, y] : dotted) {
        const auto around = AroundRegion(hinted, LabelAt(hinted, x, y));
        allowed.insert(around.begin(), around.end());
    }
    const auto moved = Recoloured(plain, hinted);
    EXPECT_GE(moved.size(), dotted.size());
    EXPECT_LE(Beyond(moved, allowed), BrickPoints().size() / 20);
}

TEST(AutoFlatStableColours, ARevisedStretchOfLineArtRecoloursWhatItTouchesAndHardlyAnyMore) {
    const CTestPage page = Wall();
    CTestPage revised = page;
    // A new wall down the middle of one brick near the page's middle, and one
    // brick's wall erased near the bottom: both bricks renumber every region
    // after them in reading order.
    revised.Fill(126, 82, 128, 98, 0);
    revised.Fill(96, 162, 98, 178, 255);
    const SAutoFlatResult before = Flat(page, Settings());
    const SAutoFlatResult after = Flat(revised, Settings());
    ASSERT_EQ(before.status, EAutoFlatStatus::Ok);
    ASSERT_EQ(after.status, EAutoFlatStatus::Ok);
    ASSERT_NE(before.regions.size(), after.regions.size());
    std::set<std::pair<int, int>> allowed;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{120, 90}, {133, 90}, {90, 170}, {103, 170}}) {
        const auto around = AroundRegion(after, LabelAt(after, x, y));
        allowed.insert(around.begin(), around.end());
    }
    EXPECT_LE(Beyond(Recoloured(before, after), allowed), BrickPoints().size() / 20);
}

TEST(AutoFlatStableColours, AnyTwoRegionsStandApartNotOnlyTouchingOnes) {
    const SAutoFlatResult result = Flat(Wall(), Settings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    ASSERT_GT(result.regions.size(), 100u);
    for (size_t i = 0; i < result.regions.size(); ++i)
        for (size_t j = i + 1; j < result.regions.size(); ++j)
            EXPECT_GE(
                DeltaE2000(LabOf(result.regions[i].colour, false), LabOf(result.regions[j].colour, false)),
                kMinDistinctDeltaE)
                << i << " and " << j;
}

TEST(AutoFlatStableColours, TheColourTableIsWhatItsRuleMakes) {
    const auto& colours = DistinctColours();
    EXPECT_GE(colours.size(), 500u);
    EXPECT_EQ(colours, PickDistinctColours());
    for (const SColour& c : colours) EXPECT_TRUE(InPrintGamut(c.v[0], c.v[1], c.v[2]));
}
