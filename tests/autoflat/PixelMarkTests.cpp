#include <gtest/gtest.h>

#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

// A box whose top side is open over 6 pixels, closed by a gap of 8.
CTestPage OneGapPage() {
    CTestPage page(120, 90);
    page.Box(20, 20, 100, 70, 3);
    page.Fill(57, 20, 63, 23, 255);
    return page;
}

SAutoFlatSettings MarkSettings() {
    SAutoFlatSettings settings;
    settings.gap = 8;
    settings.minRegion = 0;
    settings.pixelMarks = true;
    return settings;
}

}  // namespace

TEST(AutoFlatMarks, ClosedGapMarksLieAcrossTheGapAlone) {
    const CTestPage page = OneGapPage();
    const SAutoFlatResult result = Flat(page, MarkSettings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    ASSERT_EQ(result.marks.size(), result.labels.size());
    ASSERT_NE(LabelAt(result, 60, 45), LabelAt(result, 60, 5));
    int marked = 0;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            if (!(result.marks[size_t(y) * page.width + x] & kMarkClosedGap)) continue;
            ++marked;
            // Between the line's two ends, never along a drawn line.
            EXPECT_TRUE(x >= 57 && x < 63 && y >= 16 && y < 28) << x << "," << y;
            EXPECT_EQ(page.samples[size_t(y) * page.width + x], 255) << x << "," << y;
        }
    EXPECT_GT(marked, 0);
    // Every column of the opening is crossed: no path from inside to
    // outside avoids the marks.
    for (int x = 57; x < 63; ++x) {
        bool crossed = false;
        for (int y = 0; y < page.height; ++y)
            crossed |= (result.marks[size_t(y) * page.width + x] & kMarkClosedGap) != 0;
        EXPECT_TRUE(crossed) << "column " << x;
    }
}

TEST(AutoFlatMarks, ClosedBoxHasNoGapMarksAndLineMarksAreTheLineArt) {
    CTestPage page(120, 90);
    page.Box(20, 20, 100, 70, 3);
    const SAutoFlatResult result = Flat(page, MarkSettings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    for (size_t i = 0; i < result.marks.size(); ++i) {
        EXPECT_FALSE(result.marks[i] & kMarkClosedGap) << i;
        EXPECT_EQ((result.marks[i] & kMarkLine) != 0, page.samples[i] == 0) << i;
    }
}

TEST(AutoFlatMarks, MarksOnlyWhenAskedAndTheFlatsAreTheSame) {
    SAutoFlatSettings plain = MarkSettings();
    plain.pixelMarks = false;
    const SAutoFlatResult without = Flat(OneGapPage(), plain);
    const SAutoFlatResult with = Flat(OneGapPage(), MarkSettings());
    EXPECT_TRUE(without.marks.empty());
    EXPECT_EQ(without.flats, with.flats);
    EXPECT_EQ(without.labels, with.labels);
}
