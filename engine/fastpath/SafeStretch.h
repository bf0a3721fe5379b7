// The search for where a stretch of safe groups ends: consecutive groups
// that one pairing of a side with the edge next to it vouches for (b within
// the side's margin, k within the other's), in which a scan cannot give up.
#pragma once

#include <cstdint>

#include "engine/fastpath/RingStore.h"

// The first group of the ring in from .. end - 1 with b > bLimit or
// k > kLimit, or `end`.
uint32_t FirstUnsafe(CRingStore& rings, uint32_t ring, uint32_t from, uint32_t end, uint32_t bLimit,
                     uint32_t kLimit);

// One scan's search, for a pixel's margins (right, top, left, bottom): no
// stretch reaches past distance² limitSq, which lies in ring endRing - 1.
class CSafeStretches {
public:
    CSafeStretches(CRingStore& rings, const int64_t (&margin)[4], uint64_t limitSq, uint32_t endRing);

    // The place past the longest stretch of safe groups from pos (whose
    // group is g), or pos itself. A run outside still open when the stretch
    // begins came from `previous`, which must then meet the pairing too.
    SRingPos Farthest(SRingPos pos, const SOffsetGroup& g, const SOffsetGroup& previous, bool runOpen);

private:
    SRingPos SafeEnd(SRingPos from, uint32_t bLimit, uint32_t kLimit, uint32_t kFirstRing);

    CRingStore& rings_;
    int64_t margin_[4];
    uint32_t kFirstRing_[4];  // by side: the first ring that may hold a k beyond its margin
    int pairings_[4];
    // The first group past limitSq, found once when first needed.
    uint64_t limitSq_;
    uint32_t endRing_;
    bool endKnown_ = false;
    SRingPos end_{};
};
