// The facts about rings the fast path's rules stand on, held to integer
// arithmetic and to the order itself rather than to the doubles and the
// special cases they are computed with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/OffsetOrder.h"
#include "engine/fastpath/RingFacts.h"
#include "engine/fastpath/ScanShortcut.h"

namespace {

TEST(RingFacts, FloorsOfRootTwoAreExactForEveryRingAndMargin) {
    for (uint64_t r = 1; r <= kMaxOrderRing; ++r) {
        // The largest k with 2k² <= r².
        uint64_t k = MaxKInRing(uint32_t(r));
        ASSERT_TRUE(2 * k * k <= r * r && 2 * (k + 1) * (k + 1) > r * r) << "ring " << r;
    }
    for (uint64_t k = 0; k <= UINT16_MAX; ++k) {
        // floor(k√2) + 1: the least n with n² > 2k².
        const uint64_t n = FirstRingPastK(uint32_t(k));
        ASSERT_TRUE(n * n > 2 * k * k && (n - 1) * (n - 1) <= 2 * k * k) << "k " << k;
    }
}

TEST(RingFacts, ADistanceFallsInTheRingTheOrderPutsIt) {
    for (uint32_t ring = 1; ring <= 300; ++ring) {
        std::vector<SOffsetGroup> groups;
        AppendGroupsBetween(uint64_t(ring - 1) * (ring - 1), uint64_t(ring) * ring, groups);
        for (const SOffsetGroup& g : groups) {
            ASSERT_EQ(RingOf(g.distSq), ring) << g.distSq;
            ASSERT_EQ(RootInRing(g.distSq, ring), IntSqrt(g.distSq)) << g.distSq;
        }
    }
}

// The axis group of a ring leads the groups of its last distance but in
// exactly the rings the order says.
TEST(RingFacts, TheAxisComesLastExactlyWhereTheOrderPutsIt) {
    for (uint32_t ring = 1; ring <= 400; ++ring) {
        const uint64_t axisSq = uint64_t(ring) * ring;
        std::vector<SOffsetGroup> groups;
        AppendGroupsBetween(axisSq - 1, axisSq, groups);
        ASSERT_FALSE(groups.empty());
        const bool axisFirst = groups.front().k == 0 && groups.front().b == ring;
        const bool axisLast = groups.back().k == 0 && groups.back().b == ring;
        EXPECT_EQ(AxisComesLast(axisSq), !axisFirst) << "ring " << ring;
        EXPECT_TRUE(!AxisComesLast(axisSq) || axisLast) << "ring " << ring;
    }
}

// A scan that ends at a ring's own axis distance examined that ring's axis
// offsets only as far as it got: (r, 0) is the axis group's second offset
// and (-r, 0) its fourth, and where the axis comes last, none of them.
TEST(RingFacts, TheHintAScanLeavesCountsOnlyTheAxisOffsetsItReached) {
    const int32_t x = 50, width = 101;  // 50 columns either side
    using scan_shortcut::HintAfter;
    EXPECT_EQ(HintAfter(x, width, 3, 20, 0, 400, 0), 19u);
    EXPECT_EQ(HintAfter(x, width, 3, 20, 0, 400, 1), 20u);
    EXPECT_EQ(HintAfter(x, width, 3, 20, 0, 400, 3), 20u);
    EXPECT_EQ(HintAfter(x, width, 3, 20, 12, 400, 0), 20u);   // (12, 16) after the axis
    EXPECT_EQ(HintAfter(x, width, 3, 20, 5, 425, 0), 20u);    // past ring 20's last distance
    EXPECT_EQ(HintAfter(x, width, 3, 10, 6, 100, 7), 9u);     // (6, 8) before ring 10's axis
    EXPECT_EQ(HintAfter(x, width, 3, 5, 3, 25, 2), 4u);       // (3, 4) before ring 5's axis
    EXPECT_EQ(HintAfter(x, width, 3, 70, 0, 4900, 3), 50u);   // both edges nearer than the ring
    EXPECT_EQ(HintAfter(x, width, 60, 70, 0, 4900, 3), 60u);  // none inside past the start
}

}  // namespace
