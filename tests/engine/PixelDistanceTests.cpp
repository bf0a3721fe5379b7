// The nearest-colour search on its own: the order of offsets, growth, the
// hint, the image bounds and the two ways a scan fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include "engine/PixelDistance.h"
#include "tests/engine/ReferenceFlatting.h"

using engine_testing::ReferenceOrder;
using engine_testing::SRefOffset;

namespace {

using Offset = std::pair<int, int>;

// Every candidate from `hint` on, with the centre far from any border.
std::vector<SRefOffset> AllCandidates(CPixelDistance& search, uint32_t hint = 0) {
    search.SetCentre(5000, 5000, 10001, 10001);
    std::vector<SRefOffset> seen;
    int32_t dx = 0, dy = 0;
    for (bool more = search.FirstCandidate(hint, dx, dy); more; more = search.NextCandidate(dx, dy))
        seen.push_back({dx, dy});
    return seen;
}

// The first of `colours` that a search from hint 1 meets, as the pass would.
Offset FirstFound(CPixelDistance& search, const std::set<Offset>& colours) {
    search.SetCentre(500, 500, 1001, 1001);
    int32_t dx = 0, dy = 0;
    for (bool more = search.FirstCandidate(1, dx, dy); more; more = search.NextCandidate(dx, dy))
        if (colours.count({dx, dy})) return {dx, dy};
    return {0, 0};
}

std::vector<std::tuple<uint32_t, int, int>> Entries(const CPixelDistance& search) {
    std::vector<std::tuple<uint32_t, int, int>> entries;
    for (const _SPixelOffset& e : search.Entries()) entries.emplace_back(e.distSq, e.dx, e.dy);
    return entries;
}

TEST(OffsetOrder, BeginsWithTheNearestOffsetsCounterClockwiseFromStraightDown) {
    CPixelDistance search;
    std::vector<SRefOffset> first;
    for (const _SPixelOffset& e : search.Entries())
        if (e.distSq <= 10) first.push_back({e.dx, e.dy});
    const std::vector<SRefOffset> expected = {
        {0, 1}, {1, 0},  {0, -1},  {-1, 0},                                        // 1
        {1, 1}, {1, -1}, {-1, -1}, {-1, 1},                                        // 2
        {0, 2}, {2, 0},  {0, -2},  {-2, 0},                                        // 4
        {1, 2}, {2, 1},  {2, -1},  {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2},  // 5
        {2, 2}, {2, -2}, {-2, -2}, {-2, 2},                                        // 8
        {0, 3}, {3, 0},  {0, -3},  {-3, 0},                                        // 9
        {1, 3}, {3, 1},  {3, -1},  {1, -3}, {-1, -3}, {-3, -1}, {-3, 1}, {-1, 3},  // 10
    };
    EXPECT_EQ(first, expected);

    std::vector<SRefOffset> at50;
    for (const _SPixelOffset& e : search.Entries())
        if (e.distSq == 50) at50.push_back({e.dx, e.dy});
    const std::vector<SRefOffset> expected50 = {{1, 7},  {7, 1},  {7, -1}, {1, -7}, {-1, -7}, {-7, -1},
                                                {-7, 1}, {-1, 7}, {5, 5},  {5, -5}, {-5, -5}, {-5, 5}};
    EXPECT_EQ(at50, expected50);
}

TEST(OffsetOrder, ANewObjectCoversRadiusTenAndNothingFurther) {
    CPixelDistance search;
    EXPECT_EQ(search.ringCount, kPrebuiltRings);
    EXPECT_EQ(search.radiusSq, 100u);
    EXPECT_EQ(search.maxRings, kDefaultMaxRings);
    EXPECT_FALSE(search.exhausted);
    EXPECT_EQ(search.LastTakenDistSq(), 0u);
    ASSERT_EQ(search.Entries().size(), ReferenceOrder(10).size());
}

TEST(OffsetOrder, ScanningOutToRadius40FollowsTheRuleThroughEveryGrowth) {
    CPixelDistance search;
    search.maxRings = 40;
    const std::vector<SRefOffset> seen = AllCandidates(search);
    EXPECT_TRUE(search.exhausted);
    EXPECT_EQ(search.ringCount, 40);
    EXPECT_EQ(seen, ReferenceOrder(40));
}

TEST(OffsetOrder, TiesGoToTheLargerRingExceptAtTheBuiltInDistances25And100) {
    CPixelDistance search;
    EXPECT_EQ(FirstFound(search, {{3, 4}, {0, 5}}), Offset(3, 4));
    EXPECT_EQ(FirstFound(search, {{6, 8}, {0, 10}}), Offset(6, 8));
    EXPECT_EQ(FirstFound(search, {{5, 12}, {0, 13}}), Offset(0, 13));
    EXPECT_EQ(FirstFound(search, {{12, 5}, {13, 0}}), Offset(13, 0));
}

TEST(OffsetOrder, ObjectsOfTheSameRingCountHoldTheSameSequenceHoweverTheyGrew) {
    CPixelDistance direct;
    while (direct.ringCount < 30) direct.AddRing();

    CPixelDistance oneScan;
    oneScan.maxRings = 30;
    AllCandidates(oneScan);

    // Many short scans, each reaching a little further than the last.
    CPixelDistance piecemeal;
    piecemeal.maxRings = 30;
    for (int x = 0; piecemeal.ringCount < 30; ++x) {
        piecemeal.SetCentre(x, 0, x + 1, 1000);  // only dx <= 0 and dy >= 0 inside
        int32_t dx = 0, dy = 0;
        for (bool more = piecemeal.FirstCandidate(1, dx, dy); more && dx * dx + dy * dy < x * x;)
            more = piecemeal.NextCandidate(dx, dy);
    }
    ASSERT_EQ(oneScan.ringCount, 30);
    ASSERT_EQ(piecemeal.ringCount, 30);
    EXPECT_EQ(Entries(direct), Entries(oneScan));
    EXPECT_EQ(Entries(direct), Entries(piecemeal));
}

TEST(SearchLimit, CoversExactlyTheOffsetsWithinMaxRings) {
    CPixelDistance search;
    search.maxRings = 12;
    EXPECT_EQ(FirstFound(search, {{0, 12}}), Offset(0, 12));
    EXPECT_EQ(FirstFound(search, {{1, 12}}), Offset(0, 0));
    EXPECT_TRUE(search.exhausted);
    EXPECT_EQ(search.ringCount, 12);
}

TEST(SearchLimit, BelowTenTheBuiltInRingsStillCount) {
    for (uint16_t rings : {uint16_t(0), uint16_t(3)}) {
        CPixelDistance search;
        search.maxRings = rings;
        EXPECT_EQ(FirstFound(search, {{7, 0}}), Offset(7, 0));
        EXPECT_EQ(FirstFound(search, {{0, 10}}), Offset(0, 10));
        EXPECT_EQ(FirstFound(search, {{0, -11}}), Offset(0, 0));
        EXPECT_TRUE(search.exhausted);
        EXPECT_EQ(search.ringCount, kPrebuiltRings);
    }
}

TEST(ImageBounds, InAOnePixelWideImageAScanGivesUpAmongTheOffsetsOfDistance5) {
    CPixelDistance search;
    search.SetCentre(0, 5, 1, 20);
    std::vector<SRefOffset> seen;
    int32_t dx = 0, dy = 0;
    for (bool more = search.FirstCandidate(1, dx, dy); more; more = search.NextCandidate(dx, dy))
        seen.push_back({dx, dy});
    EXPECT_EQ(seen, (std::vector<SRefOffset>{{0, 1}, {0, -1}, {0, 2}, {0, -2}}));
    EXPECT_FALSE(search.exhausted);

    // At the top only the offsets downwards are inside.
    search.SetCentre(0, 0, 1, 20);
    seen.clear();
    for (bool more = search.FirstCandidate(1, dx, dy); more; more = search.NextCandidate(dx, dy))
        seen.push_back({dx, dy});
    EXPECT_EQ(seen, (std::vector<SRefOffset>{{0, 1}, {0, 2}}));
    EXPECT_FALSE(search.exhausted);
}

TEST(ImageBounds, EachCallCountsItsOwnRunOfOffsetsOutside) {
    // Centre at the right edge of a 1-tall image: only (-a, 0) is inside,
    // at the end of each distance's group.
    CPixelDistance search;
    search.SetCentre(30, 0, 31, 1);
    int32_t dx = 0, dy = 0;
    ASSERT_TRUE(search.FirstCandidate(1, dx, dy));
    EXPECT_EQ(Offset(dx, dy), Offset(-1, 0));
    // (1,1)...(-1,1), (0,2), (2,0), (0,-2): seven outside, then (-2, 0).
    ASSERT_TRUE(search.NextCandidate(dx, dy));
    EXPECT_EQ(Offset(dx, dy), Offset(-2, 0));
    // Eight offsets of distance² 5 come next, all outside.
    EXPECT_FALSE(search.NextCandidate(dx, dy));
    EXPECT_FALSE(search.exhausted);
}

TEST(Hint, SkipsEverythingCloserThanTheHint) {
    CPixelDistance search;
    search.maxRings = kPrebuiltRings;
    const std::vector<SRefOffset> fromThree = AllCandidates(search, 3);
    ASSERT_FALSE(fromThree.empty());
    EXPECT_EQ(fromThree.front(), (SRefOffset{0, 3}));
    for (const SRefOffset& o : fromThree) EXPECT_GE(o.dx * o.dx + o.dy * o.dy, 9);
    const std::vector<SRefOffset> whole = ReferenceOrder(10);
    const auto start = std::find(whole.begin(), whole.end(), SRefOffset{0, 3});
    EXPECT_EQ(fromThree, std::vector<SRefOffset>(start, whole.end()));
}

TEST(Hint, BeyondTheRingsItStartsOverOrGrowsFirst) {
    // Nothing lies at distance 11 among ten rings: the scan starts over.
    CPixelDistance ten;
    int32_t dx = 0, dy = 0;
    ten.SetCentre(50, 50, 101, 101);
    ASSERT_TRUE(ten.FirstCandidate(11, dx, dy));
    EXPECT_EQ(Offset(dx, dy), Offset(0, 1));
    EXPECT_EQ(ten.ringCount, kPrebuiltRings);

    // 13² = 5² + 12²: with twelve rings that distance is already among the
    // corners, so the scan grows first and resumes just past radius 12.
    CPixelDistance twelve;
    twelve.AddRing();
    twelve.AddRing();
    twelve.SetCentre(50, 50, 101, 101);
    ASSERT_TRUE(twelve.FirstCandidate(13, dx, dy));
    EXPECT_EQ(Offset(dx, dy), Offset(1, 12));
    EXPECT_EQ(twelve.ringCount, 13);
}

TEST(TableBudget, GrowthPastTheTableGoesOnRingByRingWithoutLimit) {
    CPixelDistance search;
    search.maxRings = UINT16_MAX;
    while (search.ringCount < 3000) search.AddRing();
    EXPECT_EQ(search.radiusSq, 3000u * 3000u);
    // The table stops at its budget; the search holds at most two rings.
    EXPECT_LE(search.Table().Rings(), search.Table().RingBudget());
    EXPECT_LE(search.Table().BytesHeld(), (kDefaultTableEntries + (1 << 16)) * sizeof(_SPixelOffset) + 65536);
    int32_t dx = 0, dy = 0;
    search.SetCentre(5000, 5000, 10001, 10001);
    ASSERT_TRUE(search.FirstCandidate(3000, dx, dy));
    EXPECT_EQ(Offset(dx, dy), Offset(0, 3000));
    ASSERT_TRUE(search.NextCandidate(dx, dy));
    EXPECT_EQ(Offset(dx, dy), Offset(3000, 0));
    EXPECT_LE(search.OwnBytes(), 2 * 8 * 3000 * 8 * sizeof(_SPixelOffset));
}

}  // namespace
