// The shortcut held to the scan it stands for: for every black pixel and
// every hint the pass can hand it, the same colour (or too-deep outcome) and
// the same hint left behind as FlatPixel walking the real search.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

#include "engine/FlatStrip.h"
#include "engine/PixelDistance.h"
#include "engine/fastpath/ScanReplay.h"
#include "engine/fastpath/ScanShortcut.h"
#include "tests/engine/FastPathTesting.h"

using namespace fastpath_testing;
using scan_shortcut::EOutcome;

namespace {

// The groups of a distance straight from the order, for the oracles below.
std::vector<SOffsetGroup> OrderGroupsAt(uint64_t distSq) {
    std::vector<SOffsetGroup> groups;
    AppendGroupsBetween(distSq - 1, distSq, groups);
    return groups;
}

// Why the shortcut may ignore give-ups: against two neighbouring edges no
// eight offsets in a row of the search order fall outside the image. Checked
// on the engine's own table, for every position near each corner.
TEST(ScanShortcut, NoEightOffsetsInARowLeaveTheImageWhenOnlyTwoNeighbouringEdgesAreNear) {
    constexpr int kRing = 60, kSide = 4 * kRing;  // the far edges lie out of reach
    CPixelDistance search;
    while (search.ringCount < kRing) search.AddRing();
    const std::vector<_SPixelOffset> entries = search.Entries();
    int longest = 0;
    for (int corner = 0; corner < 4; ++corner)
        for (int a = 0; a <= kRing; ++a)
            for (int b = 0; b <= kRing; ++b) {
                const int x = corner & 1 ? kSide - 1 - a : a, y = corner & 2 ? kSide - 1 - b : b;
                int run = 0;
                for (const _SPixelOffset& e : entries) {
                    const bool outside =
                        x + e.dx < 0 || y + e.dy < 0 || x + e.dx >= kSide || y + e.dy >= kSide;
                    run = outside ? run + 1 : 0;
                    longest = std::max(longest, run);
                }
                ASSERT_LT(longest, kMaxOutOfBounds) << "corner " << corner << " at " << x << "," << y;
            }
    EXPECT_EQ(longest, 6);  // the bound is tight, so the check is not idle

    // Between two opposite edges the runs do reach eight.
    EXPECT_FALSE(scan_shortcut::GiveUpImpossible(2, 100, 5, 400, 3));
    EXPECT_TRUE(scan_shortcut::GiveUpImpossible(2, 100, 5, 400, 2));
    EXPECT_FALSE(scan_shortcut::GiveUpImpossible(100, 1, 400, 3, 2));
}

TEST(ScanShortcut, GivesTheScansColourAndHintForEverySoundHint) {
    std::mt19937 random(5);
    const int depths[] = {0, 1, 3, 10, 11, 12, 19, 256, 65535};
    long proven = 0, unproven = 0, tooDeep = 0;
    const scan_shortcut::CSquareSums sums(2000);  // short of the deepest distances, so both ways are used
    for (int round = 0; round < 110; ++round) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        const int width = pick(1, 44), height = pick(1, 44);
        const bool cmyk = pick(0, 1) == 1, white = pick(0, 1) == 1;
        const int depth = depths[pick(0, 8)];
        const sim::CHostImage page = RandomArt(random, width, height, cmyk, EArt(pick(0, 2)));
        CLaidOutImage laidOut(page, SpecFor(page, cmyk, sim::ELayout(pick(0, 2)), pick(0, 1) == 1));
        const SFlatImage image = laidOut.Flat();

        CPixelDistance search;
        search.maxRings = uint16_t(depth);
        search.LimitGrowthToImage(width, height);
        const uint32_t reach =
            std::max<uint32_t>(kPrebuiltRings, std::min(search.maxRings, search.imageRingLimit));
        // Columns are never ruled out here; the walk's own oracle, which
        // does, is held to the plain search in the band tests.
        struct SOracle {
            const sim::CHostImage& page;
            bool cmyk;
            bool ColumnMayHold(int32_t cx, uint32_t) const { return cx >= 0 && cx < page.Width(); }
            bool IsColour(int32_t cx, int32_t cy) const { return !IsBlack(page, cx, cy, cmyk); }
            std::vector<SOffsetGroup> GroupsOf(uint64_t distSq) const { return OrderGroupsAt(distSq); }
        } oracle{page, cmyk};

        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (!IsBlack(page, x, y, cmyk)) continue;
                const uint64_t distSq =
                    std::min<uint64_t>(MeasuredDistSq(page, cmyk, x, y), uint64_t(reach) * reach + 1);
                const uint32_t deepest = std::min<uint32_t>(scan_shortcut::IntSqrt(distSq), reach);
                // The hint the pass hands over; the scan starts one below.
                for (uint32_t hint = 1; hint <= deepest + 1; ++hint) {
                    const uint32_t start = hint > 1 ? hint - 1 : hint;
                    while (search.ringCount < start) search.AddRing();
                    uint16_t walked = uint16_t(hint);
                    FlatPixel(x, y, image, search, white, walked);
                    const sim::CHostImage out = laidOut.Output();
                    std::vector<uint8_t> got(size_t(page.Planes()));
                    for (int k = 0; k < page.Planes(); ++k) got[size_t(k)] = out.At(x, y, k);
                    // Undo the write for the next hint.
                    for (int k = 0; k < page.Planes(); ++k)
                        image.OutPixel(x, y)[k * std::ptrdiff_t(image.outPlaneBytes)] = page.At(x, y, k);

                    const auto outcome =
                        scan_shortcut::Shortcut(x, y, width, height, start, distSq, reach, oracle,
                                                round % 2 ? &sums : nullptr, hint + round % 5);
                    if (outcome.outcome == EOutcome::Unproven) {
                        ++unproven;
                        continue;
                    }
                    ++proven;
                    std::vector<uint8_t> expected(size_t(page.Planes()));
                    for (int k = 0; k < page.Planes(); ++k)
                        expected[size_t(k)] = outcome.outcome == EOutcome::Found
                                                  ? page.At(x + outcome.dx, y + outcome.dy, k)
                                                  : (white ? 255 : page.At(x, y, k));
                    tooDeep += outcome.outcome == EOutcome::TooDeep;
                    ASSERT_EQ(got, expected) << width << "x" << height << " depth " << depth << " pixel " << x
                                             << "," << y << " hint " << hint << " round " << round;
                    ASSERT_EQ(walked, outcome.hint)
                        << width << "x" << height << " depth " << depth << " pixel " << x << "," << y
                        << " hint " << hint << " round " << round;
                }
            }
    }
    // Small images keep many scans within reach of opposite edges, where only
    // the walk itself can tell; still, a good share is settled.
    EXPECT_GT(proven, unproven / 3);
    EXPECT_GT(tooDeep, 1000);
}

// A scan that reaches past the top and the bottom edge, but whose every
// group keeps b within the right margin and k within the bottom one, cannot
// give up: the shortcut settles it, as the plain scan ends it.
TEST(ScanShortcut, SettlesAScanAcrossTheImageThatOnePairingKeepsInside) {
    constexpr int kWidth = 600, kHeight = 400, kX = 5, kY = 5;
    sim::CHostImage page(kWidth, kHeight, 3);  // all black
    page.SetPixel(kX + 300, kY + 294, {200, 10, 10});
    const uint64_t distSq = 300 * 300 + 294 * 294;  // ring 421, b up to 420 and k up to 297
    ASSERT_FALSE(scan_shortcut::GiveUpImpossible(kX, kY, kWidth, kHeight, 420));

    CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
    const SFlatImage image = laidOut.Flat();
    CPixelDistance search;
    search.maxRings = 65535;
    search.LimitGrowthToImage(kWidth, kHeight);
    const uint32_t reach =
        std::max<uint32_t>(kPrebuiltRings, std::min(search.maxRings, search.imageRingLimit));
    for (const uint32_t hint : {1u, 200u, 420u}) {
        while (search.ringCount < hint) search.AddRing();
        uint16_t walked = uint16_t(hint == 1 ? 1 : hint + 1);
        FlatPixel(kX, kY, image, search, false, walked);
        struct SOracle {
            const sim::CHostImage& page;
            bool ColumnMayHold(int32_t cx, uint32_t) const { return cx >= 0 && cx < page.Width(); }
            bool IsColour(int32_t cx, int32_t cy) const { return !IsBlack(page, cx, cy, false); }
            std::vector<SOffsetGroup> GroupsOf(uint64_t d) const { return OrderGroupsAt(d); }
        } oracle{page};
        const auto outcome = scan_shortcut::Shortcut(kX, kY, kWidth, kHeight, hint, distSq, reach, oracle);
        ASSERT_EQ(outcome.outcome, EOutcome::Found) << "hint " << hint;
        EXPECT_EQ(std::pair(outcome.dx, outcome.dy), std::pair(300, 294));
        EXPECT_EQ(laidOut.Output().At(kX, kY, 0), 200) << "hint " << hint;
        EXPECT_EQ(walked, outcome.hint) << "hint " << hint;
    }
}

// Ties between offsets of one distance: the first in search order wins,
// including the two distances where the axis offsets come last.
TEST(ScanShortcut, TiesGoToTheFirstOffsetInSearchOrder) {
    struct SOnly {
        std::vector<std::pair<int, int>> colours;
        bool ColumnMayHold(int32_t cx, uint32_t) const { return cx >= 0 && cx < 101; }
        bool IsColour(int32_t x, int32_t y) const {
            return std::find(colours.begin(), colours.end(), std::pair<int, int>(x - 50, y - 50)) !=
                   colours.end();
        }
        std::vector<SOffsetGroup> GroupsOf(uint64_t distSq) const { return OrderGroupsAt(distSq); }
    };
    auto found = [](const scan_shortcut::SOutcome& o) { return std::pair<int, int>(o.dx, o.dy); };
    auto first = [&](uint64_t distSq, std::vector<std::pair<int, int>> colours) {
        SOnly oracle{colours};
        return found(scan_shortcut::Shortcut(50, 50, 101, 101, 1, distSq, 256, oracle));
    };
    using P = std::pair<int, int>;
    EXPECT_EQ(first(25, {{0, 5}, {3, 4}}), P(3, 4));
    EXPECT_EQ(first(169, {{5, 12}, {0, 13}}), P(0, 13));
    EXPECT_EQ(first(100, {{0, 10}, {-8, -6}}), P(-8, -6));
    EXPECT_EQ(first(50, {{5, 5}, {-1, 7}}), P(-1, 7));
    EXPECT_EQ(first(1, {{-1, 0}, {0, -1}}), P(0, -1));
}

// Far past any table the groups of a distance come from the replay's rings:
// 5525² is a sum of two squares in 23 ways, and 2·3000² ends in a diagonal.
TEST(ScanShortcut, DeepTiesGoToTheFirstOffsetInSearchOrder) {
    CScanReplay replay;
    constexpr int kSide = 12001, kCentre = 6000;
    struct SOnly {
        std::vector<std::pair<int, int>> colours;
        bool ColumnMayHold(int32_t cx, uint32_t) const { return cx >= 0 && cx < kSide; }
        bool IsColour(int32_t x, int32_t y) const {
            return std::find(colours.begin(), colours.end(), std::pair<int, int>(x - kCentre, y - kCentre)) !=
                   colours.end();
        }
        std::span<const SOffsetGroup> GroupsOf(uint64_t distSq) { return replay.GroupsAt(distSq); }
        CScanReplay& replay;
    };
    auto first = [&](uint64_t distSq, std::vector<std::pair<int, int>> colours) {
        SOnly oracle{colours, replay};
        const auto o = scan_shortcut::Shortcut(kCentre, kCentre, kSide, kSide, 1, distSq, 6000, oracle);
        return o.outcome == EOutcome::Found ? std::pair<int, int>(o.dx, o.dy) : std::pair<int, int>(0, 0);
    };
    using P = std::pair<int, int>;
    EXPECT_EQ(first(5525 * 5525, {{3952, -3861}, {-235, 5520}}), P(-235, 5520));
    EXPECT_EQ(first(5525 * 5525, {{3952, -3861}, {-5525, 0}}), P(-5525, 0));
    EXPECT_EQ(first(5525 * 5525, {{-3861, 3952}}), P(-3861, 3952));
    EXPECT_EQ(first(2 * 3000 * 3000, {{-3000, -3000}, {3864, 1752}}), P(3864, 1752));
    EXPECT_EQ(first(2 * 3000 * 3000, {{-3000, 3000}}), P(-3000, 3000));
    // No two squares make this: the shortcut leaves it to the walk.
    EXPECT_EQ(first(2 * 3000 * 3000 + 1, {{-3000, 3000}}), P(0, 0));
}

// The replay's rings list a distance's groups as the order does: at either
// end of a ring, in rings 5 and 10 whose axis comes last, past the rings kept
// for good, and again after another ring took a ring's slot.
TEST(ScanShortcut, TheReplaysRingsListADistancesGroupsAsTheOrderDoes) {
    CScanReplay replay;
    auto same = [&](uint64_t distSq) {
        const std::span<const SOffsetGroup> got = replay.GroupsAt(distSq);
        const std::vector<SOffsetGroup> expected = OrderGroupsAt(distSq);
        ASSERT_EQ(got.size(), expected.size()) << distSq;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_TRUE(got[i].k == expected[i].k && got[i].b == expected[i].b && got[i].distSq == distSq)
                << distSq << " group " << i;
    };
    for (const uint64_t ring : {1, 2, 5, 10, 512, 513, 2600, 2601, 2857, 2601, 3400, 5525})
        for (const uint64_t distSq :
             {ring * ring, (ring - 1) * (ring - 1) + 1, ring * ring - 1, 2 * ring * ring})
            if (distSq > 0) same(distSq);
    same(25 * 25 * 13 * 17);
    EXPECT_TRUE(replay.GroupsAt(2 * 3000 * 3000 + 1).empty());
}

}  // namespace
