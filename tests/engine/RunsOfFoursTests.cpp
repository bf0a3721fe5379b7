// The bounds by which a scan steps over whole runs of rings, held to the
// order itself: wherever a run is vouched for, no group of four in it makes
// eight offsets outside in a row with the groups beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/fastpath/GroupClasses.h"
#include "engine/OffsetOrder.h"
#include "engine/PixelDistance.h"
#include "engine/fastpath/ScanReplay.h"

namespace {

// Offset by offset, without the classes the replay works from.
SGroupEnds EndsByOffsets(const SOffsetGroup& g, const int64_t (&margin)[4]) {
    int32_t offsets[8][2];
    const int count = GroupOffsets(g, offsets);
    uint32_t mask = 0;
    for (int i = 0; i < count; ++i) {
        const int64_t dx = offsets[i][0], dy = offsets[i][1];
        if (dx <= margin[kRight] && -dx <= margin[kLeft] && dy <= margin[kBottom] && -dy <= margin[kTop])
            mask |= 1u << i;
    }
    return GroupEnds(mask, count);
}

bool IsFour(const SOffsetGroup& g) { return g.k == 0 || g.k == g.b; }

TEST(RunsOfFours, AVouchedRunHoldsNoGroupOfFourThatMakesEightOutsideWithItsNeighbours) {
    CScanReplay replay;
    std::mt19937 random(43);
    auto pick = [&](int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, hi)(random);
    };
    int vouched = 0, refused = 0;
    for (int trial = 0; trial < 6000; ++trial) {
        const bool longRun = trial % 3 == 0;
        const uint32_t length = longRun ? 64 : 8;
        const auto ring = uint32_t(length * pick(1, 900 / length));
        // Margins at the edge, at the run's rings, at the k of the groups
        // next to their axis (about the root of 2·ring) and anywhere
        // between: where classes change within the run, and where groups
        // of four run into their neighbours.
        int64_t margin[4];
        for (int64_t& m : margin) {
            const int64_t nearAxis = 2 * int64_t(std::sqrt(2.0 * ring)) + 4;
            switch (pick(0, 3)) {
                case 0:
                    m = pick(0, 2);
                    break;
                case 1:
                    m = std::max<int64_t>(0, int64_t(ring) + pick(-2, int64_t(length) + 1));
                    break;
                case 2:
                    m = pick(0, nearAxis);
                    break;
                default:
                    m = pick(0, ring * 5 / 4);
            }
        }

        // The run's groups in order, and the next ring's first after them.
        std::vector<SOffsetGroup> groups;
        AppendGroupsBetween(uint64_t(ring - 2) * (ring - 2), uint64_t(ring + length) * (ring + length),
                            groups);
        // The worst ends of its axis and diagonal groups stand for them all.
        SGroupEnds axis, diagonal;
        auto widen = [](SGroupEnds& worst, const SGroupEnds& ends) {
            worst.head = std::max(worst.head, ends.head);
            worst.tail = std::max(worst.tail, ends.tail);
            worst.empty |= ends.empty;
        };
        const uint64_t runFrom = uint64_t(ring - 1) * (ring - 1),
                       runTo = uint64_t(ring + length - 1) * (ring + length - 1);
        for (const SOffsetGroup& g : groups)
            if (g.distSq > runFrom && g.distSq <= runTo && IsFour(g))
                widen(g.k == 0 ? axis : diagonal, EndsByOffsets(g, margin));

        if (!replay.RunOfFoursHolds(ring, longRun, margin, axis, diagonal)) {
            ++refused;
            continue;
        }
        ++vouched;
        // A long run vouches for no more than each of its short runs does.
        for (uint32_t part = ring; longRun && part < ring + length; part += 8) {
            ASSERT_TRUE(replay.RunOfFoursHolds(part, false, margin, axis, diagonal)) << "ring " << part;
        }
        for (size_t i = 1; i + 1 < groups.size(); ++i) {
            const SOffsetGroup& g = groups[i];
            if (g.distSq <= runFrom || g.distSq > runTo || !IsFour(g)) continue;
            const SGroupEnds own = EndsByOffsets(g, margin);
            ASSERT_FALSE(own.empty) << "ring " << ring << " group " << g.k << "," << g.b;
            ASSERT_LT(EndsByOffsets(groups[i - 1], margin).tail + own.head, kMaxOutOfBounds)
                << "ring " << ring << " before " << g.k << "," << g.b;
            ASSERT_LT(own.tail + EndsByOffsets(groups[i + 1], margin).head, kMaxOutOfBounds)
                << "ring " << ring << " after " << g.k << "," << g.b;
        }
    }
    // Both answers come up often, so the bounds are put to the test.
    EXPECT_GT(vouched, 300);
    EXPECT_GT(refused, 300);
}

}  // namespace
