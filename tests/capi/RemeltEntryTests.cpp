#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "capi/VandrelApi.h"

namespace {

constexpr int kWidth = 100, kHeight = 80;

// A box in black lines, its left side open over 3 pixels (a gap the
// default closes), beside white paper.
std::vector<uint8_t> BoxWithGap() {
    std::vector<uint8_t> page(size_t(kWidth) * kHeight, 255);
    for (int y = 20; y < 60; ++y)
        for (int x = 20; x < 70; ++x) {
            const bool side = x < 22 || x >= 68 || y < 22 || y >= 58;
            if (side && !(x < 22 && y >= 38 && y < 41)) page[size_t(y) * kWidth + x] = 0;
        }
    return page;
}

struct SMarked {
    int32_t result = -1;
    std::vector<uint8_t> flats, marks;
    std::vector<uint32_t> regions;
    VandrelAutoFlatOutput output{};
};

SMarked MarkedRun(const std::vector<uint8_t>& page, int32_t gap) {
    SMarked run;
    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    settings.gap = gap;
    settings.minRegion = 0;
    run.flats.assign(page.size() * 3, 0);
    run.regions.assign(page.size(), 0);
    run.marks.assign(page.size(), 0xEE);
    run.output.pixels = run.flats.data();
    run.output.layout = VANDREL_RGB;
    run.output.regions = run.regions.data();
    run.output.marks = run.marks.data();
    run.result = vandrel_autoflat(page.data(), VANDREL_GRAY, nullptr, 0, kWidth, kHeight, &settings,
                                  &run.output, nullptr, nullptr);
    return run;
}

}  // namespace

TEST(ApiRemelt, MarksAndTheMeltDepthReachTheCaller) {
    const auto page = BoxWithGap();
    const SMarked run = MarkedRun(page, 6);
    ASSERT_EQ(run.result, VANDREL_DONE) << run.output.message;
    autoflat::SAutoFlatSettings settings;
    settings.gap = 6;
    settings.minRegion = 0;
    settings.pixelMarks = true;
    const auto direct =
        autoflat::AutoFlat({page.data(), kWidth, kHeight, autoflat::EPageKind::Gray}, nullptr, settings);
    EXPECT_EQ(run.marks, direct.marks);
    EXPECT_EQ(run.output.meltDepth, int32_t(direct.meltDepth));
    int gaps = 0;
    for (const uint8_t mark : run.marks) gaps += (mark & VANDREL_MARK_CLOSED_GAP) != 0;
    EXPECT_GT(gaps, 0);
    EXPECT_EQ(run.marks[size_t(20) * kWidth + 30], VANDREL_MARK_LINE);
}

TEST(ApiRemelt, AStrokeAcrossTheGapIsMeltedAndATooSmallAreaAsksForMore) {
    const auto page = BoxWithGap();
    // With a gap of 1 the opening stays open: inside and outside are one region.
    SMarked run = MarkedRun(page, 1);
    ASSERT_EQ(run.result, VANDREL_DONE) << run.output.message;
    const uint32_t region = run.regions[size_t(40) * kWidth + 40];
    ASSERT_EQ(region, run.regions[size_t(40) * kWidth + 5]);
    // The stroke closes the opening; the box's inside becomes a new region.
    for (int y = 38; y < 41; ++y)
        for (int x = 20; x < 22; ++x) run.marks[size_t(y) * kWidth + x] |= VANDREL_MARK_LINE;
    const uint32_t inside = uint32_t(run.output.regionCount);
    for (int y = 22; y < 58; ++y)
        for (int x = 22; x < 68; ++x) run.regions[size_t(y) * kWidth + x] = inside;
    const int32_t changed[4] = {0, 0, kWidth - 1, kHeight - 1};
    int32_t touched[4] = {0, 0, 0, 0};

    // Only the box handed over: not enough for the lines' strips.
    const int32_t small[4] = {20, 20, 69, 59};
    std::vector<uint32_t> partLabels;
    std::vector<uint8_t> partMarks;
    for (int y = 20; y < 60; ++y)
        for (int x = 20; x < 70; ++x) {
            partLabels.push_back(run.regions[size_t(y) * kWidth + x]);
            partMarks.push_back(run.marks[size_t(y) * kWidth + x]);
        }
    const int32_t box[4] = {20, 20, 69, 59};
    const auto labelsBefore = partLabels;
    EXPECT_EQ(vandrel_autoflat_remelt(partLabels.data(), partMarks.data(), kWidth, kHeight, small, box,
                                      run.output.meltDepth, touched),
              VANDREL_FAILED);
    EXPECT_EQ(partLabels, labelsBefore);
    EXPECT_TRUE(touched[0] <= 0 && touched[1] <= 0 && touched[2] >= 69 && touched[3] >= 59);

    const int32_t whole[4] = {0, 0, kWidth - 1, kHeight - 1};
    ASSERT_EQ(vandrel_autoflat_remelt(run.regions.data(), run.marks.data(), kWidth, kHeight, whole, changed,
                                      run.output.meltDepth, touched),
              VANDREL_DONE);
    // The box's lines now melt into the inside and the outside, the stroke too.
    EXPECT_EQ(run.regions[size_t(39) * kWidth + 21], inside);
    EXPECT_EQ(run.regions[size_t(39) * kWidth + 20], region);
    EXPECT_EQ(run.regions[size_t(20) * kWidth + 40], region);
    EXPECT_EQ(run.regions[size_t(21) * kWidth + 40], inside);
}

TEST(ApiRemelt, BadArgumentsAreRefused) {
    std::vector<uint32_t> labels(16, 1);
    std::vector<uint8_t> marks(16, 0);
    const int32_t area[4] = {0, 0, 3, 3}, outside[4] = {0, 0, 4, 3};
    int32_t touched[4];
    EXPECT_EQ(vandrel_autoflat_remelt(nullptr, marks.data(), 4, 4, area, area, 3, touched),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(vandrel_autoflat_remelt(labels.data(), marks.data(), 4, 4, area, area, 0, touched),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(vandrel_autoflat_remelt(labels.data(), marks.data(), 4, 4, area, outside, 3, touched),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(vandrel_autoflat_remelt(labels.data(), marks.data(), 4, 4, outside, area, 3, touched),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(vandrel_autoflat_remelt(labels.data(), marks.data(), 4, 4, area, area, 3, nullptr),
              VANDREL_BAD_ARGUMENTS);
}

// The caller holds only `area`; a change anywhere else names pixels it
// does not hold, and reading them would run past its buffers (sized here
// exactly, so that a sanitizer build sees any read beyond them).
TEST(ApiRemelt, AChangeOutsideTheHeldAreaIsRefusedWithoutReadingPastIt) {
    constexpr int32_t kPage = 8;
    const int32_t area[4] = {0, 0, 3, kPage - 1};
    const auto areaPixels = size_t(4) * kPage;
    const int32_t changes[][4] = {
        {7, 0, 7, kPage - 1},  // right of the area, inside the page
        {5, 2, 6, 3},          // right of it, away from the edge
        {2, 1, 4, 2},          // across its right edge
        {0, 0, 3, kPage},      // below the page
        {-1, 0, 1, 1},         // left of the page
        {3, 3, 2, 3},          // empty
    };
    for (const auto& changed : changes) {
        auto labels = std::make_unique<uint32_t[]>(areaPixels);
        auto marks = std::make_unique<uint8_t[]>(areaPixels);
        for (size_t i = 0; i < areaPixels; ++i) labels[i] = 1, marks[i] = VANDREL_MARK_LINE;
        int32_t touched[4] = {5, 5, 5, 5};
        EXPECT_EQ(vandrel_autoflat_remelt(labels.get(), marks.get(), kPage, kPage, area, changed, 3, touched),
                  VANDREL_BAD_ARGUMENTS)
            << changed[0] << "," << changed[1] << " to " << changed[2] << "," << changed[3];
        EXPECT_EQ(touched[2], -1) << "no rectangle to call again with";
        for (size_t i = 0; i < areaPixels; ++i) ASSERT_EQ(labels[i], 1u);
    }

    // Pages and areas no buffer can describe.
    std::vector<uint32_t> labels(16, 1);
    std::vector<uint8_t> marks(16, 0);
    const int32_t small[4] = {0, 0, 3, 3}, inverted[4] = {3, 0, 0, 3};
    int32_t touched[4];
    for (const auto& [width, height] : {std::pair{0, 4}, {4, -1}, {INT32_MAX, 4}, {4, 70000}})
        EXPECT_EQ(
            vandrel_autoflat_remelt(labels.data(), marks.data(), width, height, small, small, 3, touched),
            VANDREL_BAD_ARGUMENTS)
            << width << "x" << height;
    EXPECT_EQ(vandrel_autoflat_remelt(labels.data(), marks.data(), 4, 4, inverted, small, 3, touched),
              VANDREL_BAD_ARGUMENTS);
}
