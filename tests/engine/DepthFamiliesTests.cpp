// Mostly black pages at every depth: the replay of scans that may give up at
// the border against the plain search, scan by scan from every hint and page
// by page on the page families the depth benchmark times, scaled down.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "bench/DepthPages.h"
#include "engine/FlatStrip.h"
#include "engine/ScanReplay.h"
#include "tests/engine/FastPathTesting.h"

using namespace fastpath_testing;

namespace {

struct SPageColours final : SReplayColours {
    const sim::CHostImage& page;
    int32_t x, y;
    SPageColours(const sim::CHostImage& p, int32_t cx, int32_t cy) : page(p), x(cx), y(cy) {}
    bool IsColour(int32_t dx, int32_t dy) override { return !IsBlack(page, x + dx, y + dy, false); }
};

// Every black pixel's scan, from every hint the pass could start it at:
// what the plain scan writes and leaves as its hint, the replay must tell.
void ExpectReplaysMatchScans(const sim::CHostImage& page, int depth, const char* what) {
    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
    const SFlatImage image = laidOut.Flat();
    CPixelDistance search;
    search.maxRings = uint16_t(depth);
    search.LimitGrowthToImage(image.width, image.height);
    const uint32_t reach = std::max<uint32_t>(
        {kPrebuiltRings, search.ringCount, std::min(search.maxRings, search.imageRingLimit)});
    CScanReplay replay;
    int decided = 0;
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x) {
            if (!IsBlack(page, x, y, false)) continue;
            const uint64_t measured = MeasuredDistSq(page, false, x, y);
            const uint64_t distSq = std::min<uint64_t>(measured, uint64_t(reach) * reach + 1);
            for (uint32_t hint = 1; hint <= reach && uint64_t(hint) * hint <= distSq; ++hint) {
                while (search.ringCount < hint) search.AddRing();
                uint16_t hintDistance = uint16_t(hint == 1 ? 1 : hint + 1);
                uint8_t* out = image.OutPixel(x, y);
                std::fill(out, out + 3, uint8_t(1));
                FlatPixel(x, y, image, search, true, hintDistance);
                SPageColours colours(page, x, y);
                const SReplayedScan scan =
                    replay.Replay(x, y, page.Width(), page.Height(), hint, reach, distSq, colours);
                ASSERT_NE(scan.end, SReplayedScan::EEnd::Undecided) << what << " " << x << "," << y;
                ++decided;
                EXPECT_EQ(scan.hint, hintDistance) << what << " " << x << "," << y << " from " << hint;
                EXPECT_EQ(scan.end == SReplayedScan::EEnd::TooDeep, search.exhausted)
                    << what << " " << x << "," << y << " from " << hint;
                for (int k = 0; k < 3; ++k) {
                    const uint8_t expected = scan.end == SReplayedScan::EEnd::TooDeep
                                                 ? kWhiteByte
                                                 : page.At(x + scan.dx, y + scan.dy, k);
                    ASSERT_EQ(out[k], expected) << what << " " << x << "," << y << " from " << hint;
                }
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
