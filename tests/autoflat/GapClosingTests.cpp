#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

constexpr int kGap = 8;

// A box whose top side is cut open over `opening` pixels.
CTestPage OpenBox(int opening) {
    CTestPage page(120, 90);
    page.Box(20, 20, 100, 70, 3);
    page.Fill(60 - opening / 2, 20, 60 - opening / 2 + opening, 23, 255);
    return page;
}

SAutoFlatSettings GapSettings() {
    SAutoFlatSettings settings;
    settings.gap = kGap;
    settings.minRegion = 0;
    return settings;
}

}  // namespace

TEST(AutoFlatGaps, NoLeakThroughAnyGapUpToTheSetting) {
    for (int opening = 0; opening <= kGap; ++opening) {
        const SAutoFlatResult result = Flat(OpenBox(opening), GapSettings());
        ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
        EXPECT_NE(LabelAt(result, 60, 45), LabelAt(result, 60, 5)) << "opening " << opening;
        EXPECT_EQ(result.regions.size(), 2u) << "opening " << opening;
    }
}

TEST(AutoFlatGaps, DiagonalGapsCloseToo) {
    // Two strokes at 45 degrees whose ends stand the gap apart diagonally.
    CTestPage page(120, 120);
    page.Box(10, 10, 110, 110, 3);
    for (int i = 0; i < 100; ++i) {
        const int x = 10 + i, y = 10 + i;
        const double along = i * std::sqrt(2.0);
        if (std::abs(along - 70) <= kGap / 2.0) continue;
        page.Fill(x, y, x + 3, y + 3, 0);
    }
    const SAutoFlatResult result = Flat(page, GapSettings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_NE(LabelAt(result, 80, 30), LabelAt(result, 30, 80));
}

TEST(AutoFlatGaps, WideOpeningsStillJoin) {
    const SAutoFlatResult result = Flat(OpenBox(4 * kGap), GapSettings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(LabelAt(result, 60, 45), LabelAt(result, 60, 5));
}

TEST(AutoFlatGaps, NarrowClosedRegionsAreKept) {
    CTestPage page(100, 60);
    page.Box(10, 10, 90, 50, 2);
    page.Box(20, 20, 80, 27, 2);  // a closed strip three pixels high, far narrower than the gap
    SAutoFlatSettings settings = GapSettings();
    settings.gap = 20;
    const SAutoFlatResult result = Flat(page, settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t strip = LabelAt(result, 50, 23);
    EXPECT_NE(strip, LabelAt(result, 50, 40));
    EXPECT_NE(strip, LabelAt(result, 50, 3));
}

TEST(AutoFlatGaps, HatchingAndSpeedLinesMakeNoRegions) {
    CTestPage page(160, 120);
    page.Box(5, 5, 155, 115, 3);
    for (int k = 0; k < 8; ++k) page.Fill(20 + 5 * k, 20, 22 + 5 * k, 50, 0);   // hatching, open at both ends
    for (int k = 0; k < 6; ++k) page.Fill(70, 30 + 9 * k, 140, 32 + 9 * k, 0);  // speed lines
    const SAutoFlatResult result = Flat(page, GapSettings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(result.regions.size(), 2u);
}

TEST(AutoFlatGaps, LightFringeTakesItsRegionsColour) {
    // Anti-aliased edges: a light fringe inside, a darker one outside.
    CTestPage page(80, 80);
    page.Box(20, 20, 60, 60, 4);
    page.Fill(24, 24, 56, 25, 200);
    page.Fill(19, 19, 61, 20, 140);
    const SAutoFlatResult result = Flat(page, GapSettings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    ASSERT_EQ(result.regions.size(), 2u);
    const uint32_t inside = LabelAt(result, 40, 40), outside = LabelAt(result, 5, 5);
    for (int x = 25; x < 55; ++x) {
        EXPECT_EQ(LabelAt(result, x, 24), inside);
        EXPECT_EQ(LabelAt(result, x, 19), outside);
    }
    // Nothing grey is left: every pixel is its region's colour.
    const int channels = ChannelCount(result.flatsKind);
    for (size_t i = 0; i < result.labels.size(); ++i) {
        const SColour& colour = result.regions[result.labels[i]].colour;
        for (int c = 0; c < 3; ++c) ASSERT_EQ(result.flats[i * channels + c], colour.v[c]);
    }
}

TEST(AutoFlatGaps, DefaultGapFollowsThePage) {
    EXPECT_EQ(DefaultGap(4960, 7016, 0), 20);
    EXPECT_EQ(DefaultGap(4960, 7016, 600), 20);
    EXPECT_EQ(DefaultGap(2480, 3508, 300), 10);
    EXPECT_EQ(DefaultGap(10, 10, 0), 2);
    const SAutoFlatResult result = Flat(OpenBox(4), {});
    EXPECT_EQ(result.gap, DefaultGap(120, 90, 0));
}
