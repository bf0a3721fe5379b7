// Stepping over whole rings by the classes of their groups (GroupClasses.h):
// where no class is wholly outside the image and no class's tail with any
// class's head makes eight, a scan cannot give up among the groups of
// eight, and the one or two groups of four a ring holds are checked against
// their neighbours in the order.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/fastpath/GroupClasses.h"
#include "engine/fastpath/RingStore.h"

class CRingSkip {
public:
    explicit CRingSkip(CRingStore& rings) : rings_(rings) {}

    // A new scan, with rings up to lastRing: the classes are made again for
    // its margins when first needed.
    void Begin(uint32_t lastRing);

    // Whole rings from `from` on, up to lastRing, in which the scan (with
    // `outside` offsets outside in a row before from) cannot give up. Returns
    // the first group it cannot vouch for, and the ring it stopped in.
    SRingPos Skip(SRingPos from, int outside, uint32_t lastRing, const int64_t (&margin)[4],
                  uint32_t& stopRing);

private:
    // A ring's first and last groups and its groups of four offsets with
    // their neighbours in the order: all that the classes of a ring leave
    // to be checked one by one. Kept for every ring once made.
    struct SRingEdges {
        uint32_t size = 0;  // 0: not made yet
        SOffsetGroup first{}, last{};
        struct SFour {
            uint32_t index = 0;
            SOffsetGroup group{}, before{}, after{};
            bool hasBefore = false, hasAfter = false;  // within the ring
        };
        SFour fours[2];
        int fourCount = 0;
    };
    const SRingEdges& Edges(uint32_t ring);

    // The groups of four of a span's rings from `ring` to spanEnd - 1, the
    // span's classes ending within `head` and `tail`: the first that can
    // make eight outside with a neighbour, or none.
    std::optional<SRingPos> FirstFourFailing(SRingPos from, uint32_t& ring, uint32_t spanEnd,
                                             const SRingSpan& span, int head, int tail,
                                             const int64_t (&margin)[4]);

    // Makes room for the rings' edges up to lastRing + 1; no entry moves
    // while a scan runs.
    void SizeFor(uint32_t lastRing);

    CRingStore& rings_;
    std::vector<SRingEdges> edges_;
    // Held here so that a scan does not clear a fresh one for itself.
    std::optional<CGroupClasses> classes_;
};
