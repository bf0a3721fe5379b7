// Stepping over whole rings by the classes of their groups (GroupClasses.h):
// where no class is wholly outside the image and no class's tail with any
// class's head makes eight, a scan cannot give up among the groups of
// eight, and the one or two groups of four a ring holds are checked against
// their neighbours in the order, a run of rings at a time where bounds
// kept for the run vouch for all of them.
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

    // Whether the groups of four of the run of rings from `ring` (a
    // multiple of its length: 8 rings, or 64 when `longRun`) can begin or
    // end no eight offsets outside in a row with the groups beside them,
    // the axis and diagonal groups ending as `axis` and `diagonal`. Public
    // for tests.
    bool RunOfFoursHolds(uint32_t ring, bool longRun, const int64_t (&margin)[4], const SGroupEnds& axis,
                         const SGroupEnds& diagonal);

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

    // What the groups of four of a run of rings have on either side, free
    // of any margins: the largest k and b among the groups of eight before
    // and after each ring's axis, and likewise its diagonal, the next
    // ring's first group (1, ring) counting as after a ring's last. An
    // offset of a group with larger k and b lies outside wherever that of
    // the smaller one does, so these bound every run those groups end or
    // begin, and one test vouches for the whole run of rings.
    struct SFourSides {
        uint16_t beforeK = 0, beforeB = 0, afterK = 0, afterB = 0;
        void Widen(const SFourSides& other);
    };
    struct SRunOfFours {
        bool made = false;
        // Every group of four has groups of eight on both sides: none
        // that the bounds above leave out.
        bool plain = true;
        bool anyDiagonal = false;
        SFourSides axis, diagonal;
    };
    static constexpr uint32_t kFourRun = 8, kFourRunsInLong = 8, kLongRun = kFourRun * kFourRunsInLong;
    // Runs of kFourRun rings, and of kLongRun, by the ring they start at;
    // made when first asked for, sized as edges_ is.
    const SRunOfFours& RunOfFours(uint32_t ring, bool longRun);
    static bool RunHolds(const SRunOfFours& run, const int64_t (&margin)[4], const SGroupEnds& axis,
                         const SGroupEnds& diagonal);
    // Makes room for the rings' edges and runs up to lastRing + 1; no
    // entry moves while a scan runs.
    void SizeFor(uint32_t lastRing);

    CRingStore& rings_;
    std::vector<SRingEdges> edges_;
    std::vector<SRunOfFours> fourRuns_, longFourRuns_;
    // Held here so that a scan does not clear a fresh one for itself.
    std::optional<CGroupClasses> classes_;
};
