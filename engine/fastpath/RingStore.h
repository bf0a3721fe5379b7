// The rings of the search order as the fast path reads them: each ring's
// groups made once and kept, with an index by distance and the largest b
// and k of each block of groups. The replay walks them and steps over
// them; the shortcut looks up the groups of one distance in them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/OffsetOrder.h"
#include "engine/fastpath/RingFacts.h"

// A group's place: its ring, and its index among the ring's groups.
struct SRingPos {
    uint32_t ring;
    uint32_t index;
};
inline bool Before(SRingPos a, SRingPos b) { return a.ring != b.ring ? a.ring < b.ring : a.index < b.index; }

// One ring's groups (ring a: (a - 1)² < distSq <= a²), with what a lookup
// of a distance reads first, within one cache line.
struct SRingSlot {
    uint32_t ring = 0;  // none: rings count from 1
    std::vector<SOffsetGroup> groups;
    // Entry j: the first group farther than (ring - 1)² + kDistanceStep·j.
    // The largest ring holds some 26 000 groups.
    std::vector<uint16_t> byDistance;
    // The largest b and k of each block of groups, and of each wide block
    // (eight blocks), for stepping over groups that all lie within bounds.
    std::vector<uint16_t> blockB, blockK, wideB, wideK;
    uint32_t axis = 0;  // where the group (0, ring) lies
};

class CRingStore {
public:
    static constexpr uint32_t kBlock = 16;
    static constexpr uint32_t kWideBlock = 8 * kBlock;

    // Inline: every group the replay steps through asks for its ring.
    const SRingSlot& Made(uint32_t ring) {
        if (ring < kept_.size() && kept_[ring].ring == ring) return kept_[ring];
        return Make(ring);
    }
    const std::vector<SOffsetGroup>& Ring(uint32_t ring) { return Made(ring).groups; }
    const SOffsetGroup& At(SRingPos pos) { return Ring(pos.ring)[pos.index]; }
    // The first group past distSq, and the place `groups` groups before pos.
    SRingPos FirstAbove(uint64_t distSq);
    SRingPos Back(SRingPos pos, int groups);

    // The groups at distance² distSq (at least 1), in search order. Valid
    // until the next call.
    std::span<const SOffsetGroup> GroupsAt(uint64_t distSq);

    // Brings in ahead of time what a lookup of distance² distSq will read,
    // if its ring is made: its entry in the ring's index or, once that is
    // near (a pixel later), the groups it points to. Pixels down a column
    // look up places a cache line or more apart, in rings too many to stay
    // near, so unfetched every lookup waits on memory twice.
    void Prefetch(uint32_t distSq, bool groups) {
        const uint32_t ring = RingOf(distSq);
        SKeptRing found{};
        if (ring <= kKeptRings) {
            if (ring < keptRings_.size()) found = keptRings_[ring];
        } else if (const SRingSlot& slot = cache_[ring % kRings]; slot.ring == ring) {
            found = {slot.groups.data(), slot.byDistance.data(), 0};
        }
        if (!found.groups) return;
        const uint16_t* entry =
            found.byDistance + (distSq - 1 - uint64_t(ring - 1) * (ring - 1)) / kDistanceStep;
        if (groups)
            __builtin_prefetch(found.groups + *entry);
        else
            __builtin_prefetch(entry);
    }

private:
    // Every ring up to kKeptRings once walked, 23 MB at most, since the
    // pixels of one page start and end their scans anywhere in a range of
    // rings as wide as the page (a strip's pixels sweep it twice, so fewer
    // kept make the rings near the page's own width again and again); beyond
    // it, the kRings walked lately.
    static constexpr uint32_t kKeptRings = 2600;
    static constexpr uint32_t kRings = 256;
    static constexpr uint32_t kDistanceStep = 8;

    const SRingSlot& Make(uint32_t ring);
    SRingSlot& Slot(uint32_t ring) {
        if (ring > kKeptRings) return cache_[ring % kRings];
        // Sized once, so that no slot moves while a caller holds its groups.
        if (kept_.empty()) kept_.resize(kKeptRings + 1);
        return kept_[ring];
    }
    std::vector<SRingSlot> kept_;
    SRingSlot cache_[kRings];

    // Where each kept ring's groups and index lie, once made: a few bytes a
    // ring, which stay near where the rings' own records, walked past by
    // every scan, do not.
    struct SKeptRing {
        const SOffsetGroup* groups = nullptr;
        const uint16_t* byDistance = nullptr;
        uint32_t size = 0;
    };
    std::vector<SKeptRing> keptRings_;
    SKeptRing Lookup(uint32_t ring);
    // Where in ring `ring` the first group past distSq lies.
    static uint32_t IndexAbove(const SKeptRing& found, uint32_t ring, uint64_t distSq);
};
