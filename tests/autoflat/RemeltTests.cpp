#include <gtest/gtest.h>

#include <random>

#include "autoflat/LabelMelt.h"
#include "autoflat/LabelRemelt.h"
#include "autoflat/RegionLabels.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

// Boxes with open sides, thick strokes and lines running off the page's
// edges, so that searches give up at the border too.
CTestPage DrawnPage(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    CTestPage page(width, height);
    for (int i = 0; i < 7; ++i) {
        const int x0 = pick(-20, width - 10), y0 = pick(-20, height - 10);
        const int x1 = x0 + pick(15, width / 2), y1 = y0 + pick(15, height / 2);
        page.Box(std::max(0, x0), std::max(0, y0), std::min(width, x1), std::min(height, y1), pick(1, 5));
        const int cut = pick(x0 + 2, x1 - 2);
        page.Fill(std::clamp(cut, 0, width), std::clamp(y0, 0, height),
                  std::clamp(cut + pick(3, 9), 0, width), std::clamp(y0 + 6, 0, height), 255);
    }
    for (int i = 0; i < 3; ++i) {
        const int y = pick(0, height - 1), w = pick(1, 4);
        page.Fill(0, y, pick(width / 3, width), std::min(height, y + w), 0);
    }
    // Ink in the corners, where a search runs off the page before it finds paper.
    const int side = pick(6, 16);
    page.Fill(0, 0, side, side, 0);
    page.Fill(width - side, height - side / 2, width, height, 0);
    return page;
}

struct SState {
    int width = 0, height = 0;
    std::vector<uint32_t> labels;
    std::vector<uint8_t> marks;
};

// The whole page's melt and growth, as AutoFlat runs them.
SState WholePageMelt(SState state, uint32_t depth) {
    std::vector<uint32_t> map(state.labels.size()), melted(state.labels.size());
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = (state.marks[i] & kMarkLine) ? kLine : state.labels[i] + 1;
    EXPECT_TRUE(MeltLabels({state.width, state.height, map.data()}, melted.data(), depth, 1, {}));
    for (size_t i = 0; i < melted.size(); ++i) {
        if (!(state.marks[i] & kMarkLine)) continue;
        state.marks[i] = uint8_t(state.marks[i] & ~kMarkLeft);
        if (melted[i] == kLine) {
            melted[i] = kOpen;
            state.marks[i] |= kMarkLeft;
        }
    }
    GrowIntoOpen({state.width, state.height, melted.data()});
    for (size_t i = 0; i < melted.size(); ++i) state.labels[i] = melted[i] - 1;
    return state;
}

SPixelBox BoxOf(const SState& state, uint32_t region) {
    SPixelBox box{state.width, state.height, -1, -1};
    for (int y = 0; y < state.height; ++y)
        for (int x = 0; x < state.width; ++x)
            if (state.labels[size_t(y) * state.width + x] == region)
                box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
    return box;
}

// A split as the page makes one: a stroke down column `x` of the region
// becomes line art, and the region's pixels left of it a new region.
void Split(SState& state, uint32_t region, int x, uint32_t newLabel) {
    for (int y = 0; y < state.height; ++y) {
        const size_t i = size_t(y) * state.width + x;
        if (state.labels[i] == region) state.marks[i] |= kMarkLine;
        for (int left = 0; left < x; ++left) {
            const size_t j = size_t(y) * state.width + left;
            if (state.labels[j] == region && !(state.marks[j] & kMarkLine)) state.labels[j] = newLabel;
        }
    }
}

// The part of the page inside `area`, run, and put back.
ERemeltStatus RemeltIn(SState& state, SPixelBox area, SPixelBox changed, uint32_t depth, SPixelBox& touched) {
    const int w = area.x1 - area.x0 + 1;
    std::vector<uint32_t> labels;
    std::vector<uint8_t> marks;
    for (int y = area.y0; y <= area.y1; ++y)
        for (int x = area.x0; x <= area.x1; ++x) {
            labels.push_back(state.labels[size_t(y) * state.width + x]);
            marks.push_back(state.marks[size_t(y) * state.width + x]);
        }
    const ERemeltStatus status =
        RemeltLabels({state.width, state.height, area, labels.data(), marks.data()}, changed, depth, touched);
    for (int y = area.y0; y <= area.y1; ++y)
        for (int x = area.x0; x <= area.x1; ++x) {
            state.labels[size_t(y) * state.width + x] = labels[size_t(y - area.y0) * w + (x - area.x0)];
            state.marks[size_t(y) * state.width + x] = marks[size_t(y - area.y0) * w + (x - area.x0)];
        }
    return status;
}

void ExpectSame(const SState& actual, const SState& expected, const std::string& what) {
    size_t labels = 0, marks = 0, first = SIZE_MAX;
    for (size_t i = 0; i < expected.labels.size(); ++i) {
        labels += actual.labels[i] != expected.labels[i];
        marks += actual.marks[i] != expected.marks[i];
        if ((actual.labels[i] != expected.labels[i] || actual.marks[i] != expected.marks[i]) &&
            first == SIZE_MAX)
            first = i;
    }
    EXPECT_EQ(labels + marks, 0u) << what << ": " << labels << " labels and " << marks
                                  << " marks differ, the first at (" << (first % expected.width) << ", "
                                  << (first / expected.width) << ")";
}

}  // namespace

TEST(AutoFlatRemelt, AutoFlatsLabelsAreTheMeltOfTheirOwnRegions) {
    const CTestPage page = DrawnPage(160, 120, 3);
    SAutoFlatSettings settings;
    settings.pixelMarks = true;
    settings.gap = 6;
    const SAutoFlatResult result = Flat(page, settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const SState state{page.width, page.height, result.labels, result.marks};
    ExpectSame(WholePageMelt(state, result.meltDepth), state, "the page as flatted");
}

TEST(AutoFlatRemelt, SplitRegionsGiveTheWholePagesMeltNearBordersToo) {
    int compared = 0, leftPixels = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const CTestPage page = DrawnPage(150 + int(seed) * 7, 110 + int(seed) * 5, seed);
        SAutoFlatSettings settings;
        settings.pixelMarks = true;
        settings.gap = 6;
        settings.minRegion = 0;
        settings.spotBlacks = seed % 2 ? ESpotBlacks::Lines : ESpotBlacks::Regions;
        const SAutoFlatResult result = Flat(page, settings);
        ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
        // A shallow melt leaves the deep ink to the growth: that path is
        // held to the whole page's too.
        for (const uint32_t depth : {result.meltDepth, 2u}) {
            const SState flatted =
                WholePageMelt({page.width, page.height, result.labels, result.marks}, depth);
            for (const uint8_t mark : flatted.marks) leftPixels += (mark & kMarkLeft) != 0;
            for (uint32_t region = 0; region < result.regions.size() && region < 8; ++region) {
                SState state = flatted;
                const SPixelBox box = BoxOf(state, region);
                if (box.x1 - box.x0 < 4) continue;
                Split(state, region, (box.x0 + box.x1) / 2, uint32_t(result.regions.size()));
                const SState expected = WholePageMelt(state, depth);
                const std::string what = "seed " + std::to_string(seed) + " depth " + std::to_string(depth) +
                                         " region " + std::to_string(region);
                SPixelBox touched;
                SState windowed = state;
                ASSERT_EQ(RemeltIn(windowed, {0, 0, state.width - 1, state.height - 1}, box, depth, touched),
                          ERemeltStatus::Done);
                ExpectSame(windowed, expected, what);
                // Outside what it says it touched, nothing changed.
                for (int y = 0; y < state.height; ++y)
                    for (int x = 0; x < state.width; ++x)
                        if (x < touched.x0 || x > touched.x1 || y < touched.y0 || y > touched.y1) {
                            ASSERT_EQ(windowed.labels[size_t(y) * state.width + x],
                                      state.labels[size_t(y) * state.width + x]);
                        }
                // Given only the region's box, it asks for more, then is exact.
                SState part = state;
                ERemeltStatus status = RemeltIn(part, box, box, depth, touched);
                for (int tries = 0; status == ERemeltStatus::NeedArea && tries < 6; ++tries)
                    status = RemeltIn(part, touched, box, depth, touched);
                ASSERT_EQ(status, ERemeltStatus::Done);
                ExpectSame(part, expected, "part, " + what);
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 40);
    EXPECT_GT(leftPixels, 0) << "no search was left to the growth on these pages";
}

// Dense random ink over small numbered cells: long runs of black across
// columns and strips, where the search's hint carries from pixel to pixel.
TEST(AutoFlatRemelt, DenseInkWhereTheSearchHintCarriesGivesTheWholePagesMelt) {
    int compared = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        const int width = 90 + int(seed) * 11, height = 100 + int(seed) * 9;
        const int cellW = 7 + int(seed % 3), cellH = 5 + int(seed % 4);
        SState state{width, height, std::vector<uint32_t>(size_t(width) * height),
                     std::vector<uint8_t>(size_t(width) * height)};
        std::bernoulli_distribution ink(0.45 + 0.05 * (seed % 4));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const size_t i = size_t(y) * width + x;
                state.labels[i] = uint32_t((y / cellH) * (width / cellW + 1) + x / cellW);
                state.marks[i] = ink(random) ? kMarkLine : 0;
            }
        const uint32_t depth = 3 + seed;
        const SState flatted = WholePageMelt(state, depth);
        const uint32_t labelEnd = uint32_t((height / cellH + 1) * (width / cellW + 1));
        for (uint32_t region = 0; region < labelEnd; region += 5) {
            SState split = flatted;
            const SPixelBox box = BoxOf(split, region);
            if (box.x1 - box.x0 < 2) continue;
            Split(split, region, (box.x0 + box.x1) / 2, labelEnd);
            const SState expected = WholePageMelt(split, depth);
            SPixelBox touched;
            SState part = split;
            ERemeltStatus status = RemeltIn(part, box, box, depth, touched);
            for (int tries = 0; status == ERemeltStatus::NeedArea && tries < 8; ++tries)
                status = RemeltIn(part, touched, box, depth, touched);
            ASSERT_EQ(status, ERemeltStatus::Done);
            ExpectSame(part, expected, "seed " + std::to_string(seed) + " region " + std::to_string(region));
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(AutoFlatRemelt, RefusesBoxesOutsideThePageAndTooLargeRegions) {
    std::vector<uint32_t> labels(100, 0);
    std::vector<uint8_t> marks(100, 0);
    SPixelBox touched;
    SPageArea page{10, 10, {0, 0, 9, 9}, labels.data(), marks.data()};
    EXPECT_EQ(RemeltLabels(page, {5, 5, 12, 6}, 4, touched), ERemeltStatus::BadInput);
    EXPECT_EQ(RemeltLabels(page, {5, 5, 4, 6}, 4, touched), ERemeltStatus::BadInput);
    page.area = {0, 0, 10, 9};
    EXPECT_EQ(RemeltLabels(page, {5, 5, 6, 6}, 4, touched), ERemeltStatus::BadInput);
    // A change right of the area names pixels the buffers do not hold: the
    // remelt asks for an area that holds them instead of reading past them.
    page.area = {0, 0, 3, 9};
    EXPECT_EQ(RemeltLabels(page, {7, 0, 7, 9}, 4, touched), ERemeltStatus::NeedArea);
    page.area = {0, 0, 9, 9};
    labels[3] = kMaxMeltLabel + 1;
    marks[55] = kMarkLine;
    EXPECT_EQ(RemeltLabels(page, {5, 5, 5, 5}, 4, touched), ERemeltStatus::BadInput);
    labels[3] = 7;
    EXPECT_EQ(RemeltLabels(page, {5, 5, 5, 5}, 4, touched), ERemeltStatus::Done);
    EXPECT_EQ(labels[55], 0u);
}

// A change right of the area the caller holds is asked for, not looked up in
// the caller's buffers past their end (the sanitizer build catches a read).
TEST(AutoFlatRemelt, AChangeOutsideTheAreaAsksForIt) {
    const SPixelBox area{0, 0, 19, 9};
    std::vector<uint32_t> labels(200, 1);
    std::vector<uint8_t> marks(200, kMarkLine);
    SPageArea page{100, 10, area, labels.data(), marks.data()};
    for (const SPixelBox changed : {SPixelBox{90, 8, 95, 9}, SPixelBox{21, 0, 22, 0}}) {
        SPixelBox touched;
        EXPECT_EQ(RemeltLabels(page, changed, 4, touched), ERemeltStatus::NeedArea);
        EXPECT_TRUE(touched.x0 <= changed.x0 && touched.x1 >= changed.x1 && touched.y0 <= changed.y0 &&
                    touched.y1 >= changed.y1);
    }
    EXPECT_EQ(labels, std::vector<uint32_t>(200, 1));
    EXPECT_EQ(marks, std::vector<uint8_t>(200, kMarkLine));
}
