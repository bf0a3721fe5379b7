// The classes of a ring's groups, against the groups themselves: whatever a
// span of rings claims must hold for every group in every ring it covers,
// or the replay would step over a place where a scan gives up.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "engine/fastpath/GroupClasses.h"

namespace {

// Offset by offset, as the scan tests them.
uint32_t MaskByOffsets(const SOffsetGroup& g, const int64_t (&margin)[4], int& count) {
    int32_t offsets[8][2];
    count = GroupOffsets(g, offsets);
    uint32_t mask = 0;
    for (int i = 0; i < count; ++i) {
        const int32_t dx = offsets[i][0], dy = offsets[i][1];
        if (dx <= margin[kRight] && -dx <= margin[kLeft] && dy <= margin[kBottom] && -dy <= margin[kTop])
            mask |= 1u << i;
    }
    return mask;
}

void ExpectSpansHold(const int64_t (&margin)[4], uint32_t firstRing, uint32_t lastRing) {
    const CGroupClasses classes(margin, firstRing, lastRing);
    // Spans from their first ring and from rings inside them.
    for (uint32_t ring = firstRing; ring <= lastRing;) {
        const SRingSpan span = classes.SpanAt(ring);
        ASSERT_GT(span.end, ring);
        for (uint32_t covered = ring; covered < span.end && covered <= lastRing; ++covered) {
            std::vector<SOffsetGroup> groups;
            AppendGroupsBetween(uint64_t(covered - 1) * (covered - 1), uint64_t(covered) * covered, groups);
            for (const SOffsetGroup& g : groups) {
                int count = 0;
                const uint32_t mask = MaskByOffsets(g, margin, count);
                int ownCount = 0;
                ASSERT_EQ(InsideMask(g, margin, ownCount), mask) << g.k << "," << g.b;
                const SGroupEnds ends = GroupEnds(mask, count);
                // Written only when an assertion fails: made for every group,
                // the words took most of the test's time.
                const auto where = [&] {
                    return ::testing::Message()
                           << "margins " << margin[0] << " " << margin[1] << " " << margin[2] << " "
                           << margin[3] << ", span from ring " << ring << ", group " << g.k << "," << g.b
                           << " in ring " << covered;
                };
                if (g.k == 0 || g.k == g.b) {
                    const SGroupEnds& claimed = g.k == 0 ? span.axis : span.diagonal;
                    ASSERT_EQ(ends.head, claimed.head) << where();
                    ASSERT_EQ(ends.tail, claimed.tail) << where();
                    ASSERT_EQ(ends.empty, claimed.empty) << where();
                } else {
                    ASSERT_LE(ends.head, span.head) << where();
                    ASSERT_LE(ends.tail, span.tail) << where();
                    ASSERT_TRUE(!ends.empty || span.anyEmpty) << where();
                }
            }
        }
        ring += std::max<uint32_t>(1, (std::min(span.end, lastRing + 1) - ring) / 3);
    }
}

}  // namespace

TEST(GroupClasses, EverySpanHoldsForEveryGroupOfTheRingsItCovers) {
    // Margins at the edge, equal to each other, and spread out.
    for (const auto& margin : {std::array<int64_t, 4>{0, 0, 0, 0}, std::array<int64_t, 4>{0, 2, 2, 11},
                               std::array<int64_t, 4>{5, 5, 5, 5}, std::array<int64_t, 4>{3, 40, 17, 9},
                               std::array<int64_t, 4>{60, 1, 0, 25}}) {
        const int64_t m[4] = {margin[0], margin[1], margin[2], margin[3]};
        ExpectSpansHold(m, 1, 90);
    }
    std::mt19937 random(7);
    for (int trial = 0; trial < 40; ++trial) {
        int64_t m[4];
        for (int64_t& side : m) side = std::uniform_int_distribution<int64_t>(0, 120)(random);
        ExpectSpansHold(m, 1 + trial, 180);
    }
}
