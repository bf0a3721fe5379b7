#include "engine/fastpath/SafeStretch.h"

#include <algorithm>

#include "engine/fastpath/GroupClasses.h"

namespace {

// A search that walked more than this many rings looking for the end of a
// stretch stops looking there: the stretch ends no sooner than that.
constexpr uint32_t kLookAheadRings = 8;

uint32_t Clamped(int64_t margin) { return uint32_t(std::min<int64_t>(margin, UINT16_MAX)); }

}  // namespace

uint32_t FirstUnsafe(CRingStore& rings, uint32_t ring, uint32_t from, uint32_t end, uint32_t bLimit,
                     uint32_t kLimit) {
    constexpr uint32_t kBlock = CRingStore::kBlock, kWide = CRingStore::kWideBlock;
    const SRingSlot& slot = rings.Made(ring);
    // Only the ring's axis group has b = ring.
    if (kLimit >= MaxKInRing(ring) && bLimit + 1 >= ring) {
        if (bLimit >= ring) return end;
        return slot.axis >= from && slot.axis < end ? slot.axis : end;
    }
    const SOffsetGroup* groups = slot.groups.data();
    auto unsafe = [&](uint32_t i) { return groups[i].b > bLimit || groups[i].k > kLimit; };
    uint32_t i = from;
    for (; i < end && i % kBlock != 0; ++i)
        if (unsafe(i)) return i;
    while (i < end) {
        if (i % kWide == 0 && i + kWide <= end && slot.wideB[i / kWide] <= bLimit &&
            slot.wideK[i / kWide] <= kLimit) {
            i += kWide;
            continue;
        }
        if (i + kBlock <= end && slot.blockB[i / kBlock] <= bLimit && slot.blockK[i / kBlock] <= kLimit) {
            i += kBlock;
            continue;
        }
        // A block holding an unsafe group, or the last and partial one.
        for (const uint32_t blockEnd = std::min(end, i + kBlock); i < blockEnd; ++i)
            if (unsafe(i)) return i;
    }
    return end;
}

CSafeStretches::CSafeStretches(CRingStore& rings, const int64_t (&margin)[4], uint64_t limitSq,
                               uint32_t endRing)
    : rings_(rings), limitSq_(limitSq), endRing_(endRing) {
    std::copy(std::begin(margin), std::end(margin), margin_);
    for (int side = 0; side < 4; ++side) kFirstRing_[side] = FirstRingPastK(Clamped(margin[side]));
    // Of two pairings of one side the one with the larger other margin
    // vouches for every group the other does: only it is asked.
    auto wider = [&](int p, int q) {
        return margin[kEdgePairings[q][1]] > margin[kEdgePairings[p][1]] ? q : p;
    };
    pairings_[0] = wider(0, 1);
    pairings_[1] = wider(2, 3);
    pairings_[2] = wider(4, 5);
    pairings_[3] = 6;
}

SRingPos CSafeStretches::Farthest(SRingPos pos, const SOffsetGroup& g, const SOffsetGroup& previous,
                                  bool runOpen) {
    SRingPos best = pos;
    for (const int p : pairings_) {
        const int64_t side = margin_[kEdgePairings[p][0]], other = margin_[kEdgePairings[p][1]];
        auto safe = [&](const SOffsetGroup& h) { return h.b <= side && h.k <= other; };
        if (!safe(g) || (runOpen && !safe(previous))) continue;
        const SRingPos end = SafeEnd(pos, Clamped(side), Clamped(other), kFirstRing_[kEdgePairings[p][1]]);
        if (Before(best, end)) best = end;
    }
    return best;
}

// The first group from `from` on with distSq > limitSq, b > bLimit or
// k > kLimit, or a group no later than that: rings far ahead are not all
// made to find out.
SRingPos CSafeStretches::SafeEnd(SRingPos from, uint32_t bLimit, uint32_t kLimit, uint32_t kFirstRing) {
    // No group of a ring a has b above a.
    const uint32_t firstRing = std::min(bLimit + 1, kFirstRing);
    SRingPos pos = from.ring >= firstRing ? from : SRingPos{firstRing, 0};
    for (uint32_t looked = 0;; ++looked) {
        if (pos.ring >= endRing_) {
            if (!endKnown_) {
                end_ = rings_.FirstAbove(limitSq_);
                endKnown_ = true;
            }
            if (pos.ring > endRing_) return end_;
            return {pos.ring, FirstUnsafe(rings_, pos.ring, pos.index, end_.index, bLimit, kLimit)};
        }
        if (looked == kLookAheadRings) return pos;
        const auto size = uint32_t(rings_.Ring(pos.ring).size());
        const uint32_t unsafe = FirstUnsafe(rings_, pos.ring, pos.index, size, bLimit, kLimit);
        if (unsafe < size) return {pos.ring, unsafe};
        pos = {pos.ring + 1, 0};
    }
}
