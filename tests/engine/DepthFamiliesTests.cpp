// Mostly black pages at every depth: the replay of scans that may give up at
// the border against the plain search, scan by scan from every hint and page
// by page on the page families the depth benchmark times, scaled down.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "bench/DepthPages.h"
#include "engine/FlatStrip.h"
#include "engine/IntegerRoot.h"
#include "engine/fastpath/ScanReplay.h"
#include "tests/engine/FastPathTesting.h"

using namespace fastpath_testing;

namespace {

struct SPageColours final : SReplayColours {
    const sim::CHostImage& page;
    int32_t x, y;
    SPageColours(const sim::CHostImage& p, int32_t cx, int32_t cy) : page(p), x(cx), y(cy) {}
    bool IsColour(int32_t dx, int32_t dy) override { return !IsBlack(page, x + dx, y + dy, false); }
};

// The search a pass makes for this page and depth, and how far it reaches.
uint32_t ReachOf(CPixelDistance& search, const SFlatImage& image, int depth) {
    search.maxRings = uint16_t(depth);
    search.LimitGrowthToImage(image.width, image.height);
    return std::max<uint32_t>(
        {kPrebuiltRings, search.ringCount, std::min(search.maxRings, search.imageRingLimit)});
}

// One black pixel's scan from one hint: what the plain scan writes and
// leaves as its hint, the replay must tell. `left` takes that hint.
void ExpectReplayMatchesScan(const sim::CHostImage& page, const SFlatImage& image, CPixelDistance& search,
                             CScanReplay& replay, uint32_t reach, int x, int y, uint64_t measured,
                             uint32_t hint, const char* what, uint32_t& left) {
    const uint64_t distSq = std::min<uint64_t>(measured, uint64_t(reach) * reach + 1);
    while (search.ringCount < hint) search.AddRing();
    uint16_t hintDistance = uint16_t(hint == 1 ? 1 : hint + 1);
    uint8_t* out = image.OutPixel(x, y);
    std::fill(out, out + 3, uint8_t(1));
    FlatPixel(x, y, image, search, true, hintDistance);
    left = hintDistance;
    SPageColours colours(page, x, y);
    const SReplayedScan scan = replay.Replay(x, y, page.Width(), page.Height(), hint, reach, distSq, colours);
    ASSERT_NE(scan.end, SReplayedScan::EEnd::Undecided) << what << " " << x << "," << y;
    EXPECT_EQ(scan.hint, hintDistance) << what << " " << x << "," << y << " from " << hint;
    EXPECT_EQ(scan.end == SReplayedScan::EEnd::TooDeep, search.exhausted)
        << what << " " << x << "," << y << " from " << hint;
    for (int k = 0; k < 3; ++k) {
        const uint8_t expected =
            scan.end == SReplayedScan::EEnd::TooDeep ? kWhiteByte : page.At(x + scan.dx, y + scan.dy, k);
        ASSERT_EQ(out[k], expected) << what << " " << x << "," << y << " from " << hint;
    }
}

// Every black pixel's scan, from every hint the pass could start it at.
void ExpectReplaysMatchScans(const sim::CHostImage& page, int depth, const char* what) {
    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
    const SFlatImage image = laidOut.Flat();
    CPixelDistance search;
    const uint32_t reach = ReachOf(search, image, depth);
    CScanReplay replay;
    int decided = 0;
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x) {
            if (!IsBlack(page, x, y, false)) continue;
            const uint64_t measured = MeasuredDistSq(page, false, x, y);
            const uint64_t distSq = std::min<uint64_t>(measured, uint64_t(reach) * reach + 1);
            for (uint32_t hint = 1; hint <= reach && uint64_t(hint) * hint <= distSq; ++hint) {
                uint32_t left = 0;
                ExpectReplayMatchesScan(page, image, search, replay, reach, x, y, measured, hint, what, left);
                if (::testing::Test::HasFatalFailure()) return;
                ++decided;
            }
        }
    EXPECT_GT(decided, 0) << what;
}

TEST(DepthFamilies, EveryReplayedScanEndsWhereThePlainScanEnds) {
    for (int layout = 0; layout < bench::kDepthLayouts; ++layout)
        for (const auto& [width, height, depth] :
             {std::tuple{23, 17, 20}, std::tuple{30, 9, 65535}, std::tuple{14, 26, 11},
              std::tuple{12, 12, 12}, std::tuple{3, 14, 11}, std::tuple{3, 8, 65535},
              std::tuple{4, 44, 11}}) {
            const auto family = bench::EDepthLayout(layout);
            const sim::CHostImage page =
                bench::DepthPage(family, width, height, uint64_t(layout * 7 + depth));
            ExpectReplaysMatchScans(page, depth, bench::LayoutName(family));
        }
}

// Pages of random shape, down to one pixel across, whose margins cut the
// rings at every place a class of groups can begin or end.
TEST(DepthFamilies, ScansOnPagesOfRandomShapeEndWhereThePlainScanEnds) {
    std::mt19937 random(19);
    for (int trial = 0; trial < 12; ++trial) {
        const int width = std::uniform_int_distribution<int>(1, 40)(random);
        const int height = std::uniform_int_distribution<int>(1, 40)(random);
        const auto family = bench::EDepthLayout(trial % bench::kDepthLayouts);
        const int depth = trial % 3 == 0 ? 65535 : std::max(width, height) + trial;
        const sim::CHostImage page = bench::DepthPage(family, width, height, uint64_t(trial));
        ExpectReplaysMatchScans(page, depth, bench::LayoutName(family));
    }
}

// Pages large enough that scans reach rings past those the replay keeps:
// stretches of columns near an edge, walked down as the pass walks them,
// each scan starting from the hint the one before left. Columns 5 and 261
// use rings 256 apart, which share a place among those the replay holds
// beyond the kept ones, so rings are let go and made again between them;
// the top of column 290 has scans that run on through some 300 rings.
TEST(DepthFamilies, ScansPastTheKeptRingsEndWhereThePlainScanEnds) {
    constexpr int kSide = 2900;
    std::mt19937 random(31);
    for (const auto family :
         {bench::EDepthLayout::AllBlack, bench::EDepthLayout::CornerPixel, bench::EDepthLayout::NearCorner}) {
        const sim::CHostImage page = bench::DepthPage(family, kSide, kSide, uint64_t(family) + 3);
        std::vector<std::pair<int, int>> colours;
        for (int v = 0; v < kSide; ++v)
            for (int u = 0; u < kSide; ++u)
                if (!IsBlack(page, u, v, false)) colours.emplace_back(u, v);
        auto measured = [&](int x, int y) {
            uint64_t best = UINT64_MAX;
            for (const auto& [u, v] : colours)
                best =
                    std::min<uint64_t>(best, uint64_t(int64_t(u - x) * (u - x) + int64_t(v - y) * (v - y)));
            return best;
        };
        CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
        const SFlatImage image = laidOut.Flat();
        CPixelDistance search;
        const uint32_t reach = ReachOf(search, image, 5000);
        CScanReplay replay;
        const int any = std::uniform_int_distribution<int>(0, 300)(random);
        for (const auto& [x, firstRow, rows] :
             {std::tuple{5, 1400, 40}, std::tuple{261, 1400, 40}, std::tuple{5, 1500, 40},
              std::tuple{290, 0, 6}, std::tuple{any, 1400, 40}}) {
            // The hint a column's pixels pass on, away from the colour.
            uint32_t hint = uint32_t(std::max(x, kSide - 1 - x));
            for (int y = firstRow; y < firstRow + rows; ++y) {
                if (!IsBlack(page, x, y, false)) {
                    hint = 1;
                    continue;
                }
                // A hint past the colour is left to the plain scan by the pass.
                const uint64_t distSq = measured(x, y);
                uint32_t start = hint > 1 ? hint - 1 : 1;
                if (uint64_t(start) * start > distSq) start = std::max<uint32_t>(1, IntSqrt(distSq));
                uint32_t left = 0;
                ExpectReplayMatchesScan(page, image, search, replay, reach, x, y, distSq, start,
                                        bench::LayoutName(family), left);
                if (HasFatalFailure()) return;
                hint = left;
            }
        }
    }
}

// On a black page the first scan of a band, walked by the plain search, would
// run out to the border, past its strip's whole budget; its search grows no
// further than that budget, the transform takes the pixel, and the page
// comes out as the plain search leaves it.
TEST(DepthFamilies, APlainScanStopsWhereItsStripsBudgetEnds) {
    const sim::CHostImage page = bench::DepthPage(bench::EDepthLayout::AllBlack, 200, 200, 7);
    auto walk = [&](EFlatMethod method, uint32_t& rings) {
        CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
        const SFlatImage image = laidOut.Flat();
        CPixelDistance search;
        search.maxRings = 65535;
        WalkBand(image, search, false, method, 0, page.Height());
        rings = search.ringCount;
        return laidOut.Output();
    };
    uint32_t plainRings = 0, assistedRings = 0;
    const sim::CHostImage plain = walk(EFlatMethod::Search, plainRings);
    EXPECT_EQ(walk(EFlatMethod::DistanceAssisted, assistedRings), plain);
    // A strip's budget is 4 offsets a pixel: 42 x 200 x 4, some 110 rings.
    EXPECT_GT(plainRings, 190u);
    EXPECT_LT(assistedRings, 120u);
}

// Whole bands, as the passes walk them, on pages about twice as wide and
// tall as the depth, where every pixel's scan can reach two opposite edges.
TEST(DepthFamilies, MostlyBlackPagesComeOutAsThePlainSearchLeavesThem) {
    std::mt19937 random(25);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int64_t replayed = 0;
    for (const int depth : {0, 1, 10, 14, 30, 55, 65535})
        for (int layout = 0; layout < bench::kDepthLayouts; ++layout)
            for (int round = 0; round < 2; ++round) {
                const int around = std::clamp(2 * depth, 12, 110);
                const int width = std::max(1, pick(around * 3 / 4, around * 5 / 4));
                const int height = std::max(1, pick(around * 3 / 4, around * 5 / 4));
                const bool white = round == 1;
                const int bands = pick(1, 3);
                const auto family = bench::EDepthLayout(layout);
                const sim::CHostImage page =
                    bench::DepthPage(family, width, height, uint64_t(pick(0, 1 << 30)));
                auto walk = [&](EFlatMethod method, bool always) {
                    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
                    const SFlatImage image = laidOut.Flat();
                    const int q = height / bands;
                    for (int i = 0; i < bands; ++i) {
                        CPixelDistance search;
                        search.maxRings = uint16_t(depth);
                        const int end = i == bands - 1 ? height : (i + 1) * q;
                        replayed += WalkBand(image, search, white, method, i * q, end, always).replayedPixels;
                    }
                    return laidOut.Output();
                };
                const sim::CHostImage plain = walk(EFlatMethod::Search, false);
                ASSERT_EQ(walk(EFlatMethod::DistanceAssisted, true), plain)
                    << bench::LayoutName(family) << " " << width << "x" << height << " depth " << depth;
                ASSERT_EQ(walk(EFlatMethod::DistanceAssisted, false), plain)
                    << bench::LayoutName(family) << " " << width << "x" << height << " depth " << depth;
            }
    EXPECT_GT(replayed, 20000);
}

}  // namespace
