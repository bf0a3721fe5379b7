// A black pixel's nearest-colour scan worked out from the image's edges:
// where it stops, and whether on a colour, at the depth or by giving up at
// the border, without walking the long stretches of the order in which it
// cannot give up. The scans this is for are those a pixel's distance alone
// does not settle: scans that reach two opposite edges, which on mostly
// black pages at large depths would otherwise walk about 2πd offsets, or a
// whole annulus of them, per pixel.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/fastpath/GroupClasses.h"
#include "engine/OffsetOrder.h"

// How the scan ended, and what the pass takes from it.
struct SReplayedScan {
    enum class EEnd { Undecided, Found, TooDeep, GaveUp };
    EEnd end = EEnd::Undecided;
    // Found: the colour's offset. GaveUp: the last pixel the scan read, (0, 0)
    // for the pixel itself.
    int32_t dx = 0, dy = 0;
    uint32_t hint = 0;        // what the scan leaves in hintDistance
    uint64_t lastDistSq = 0;  // where it ended in the order
};

// Answers for offsets at the nearest colour's distance, inside the image.
struct SReplayColours {
    virtual bool IsColour(int32_t dx, int32_t dy) = 0;

protected:
    ~SReplayColours() = default;
};

class CScanReplay {
public:
    // The scan of the black pixel (x, y) from hint G (the pass's start,
    // G >= 1) by a search that covers `reach` rings, with the nearest colour
    // at distance² distSq (anything above reach² meaning none within
    // reach). Undecided when the replay cannot vouch for the result (a hint
    // past the colour or the reach, or a distance that does not match the
    // image); the caller then scans.
    SReplayedScan Replay(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t hint, uint32_t reach,
                         uint64_t distSq, SReplayColours& colours);

    // The groups at distance² distSq (at least 1), in search order, from
    // the rings the replay keeps. Valid until the next call.
    std::span<const SOffsetGroup> GroupsAt(uint64_t distSq);

    // Brings in ahead of time what a lookup of distance² distSq will read,
    // if its ring is made: its entry in the ring's index or, once that is
    // near (a pixel later), the groups it points to. Pixels down a column
    // look up places a cache line or more apart, in rings too many to stay
    // near, so unfetched every lookup waits on memory twice.
    void Prefetch(uint32_t distSq, bool groups) {
        // The ring holding distSq, the least r with r² >= distSq: that of the
        // last lookup fetched for, or one beside it, down a column.
        uint32_t ring = prefetchRing_;
        if (ring < 2 || uint64_t(ring - 2) * (ring - 2) >= distSq || uint64_t(ring + 1) * (ring + 1) < distSq)
            ring = uint32_t(std::sqrt(double(distSq - 1))) + 1;  // exact in a double this far below 2^52
        while (uint64_t(ring - 1) * (ring - 1) >= distSq) --ring;
        while (uint64_t(ring) * ring < distSq) ++ring;
        prefetchRing_ = ring;
        SKeptRing found{};
        if (ring <= kKeptRings) {
            if (ring < keptRings_.size()) found = keptRings_[ring];
        } else if (const SCached& slot = cache_[ring % kRings]; slot.ring == ring) {
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

    // Whether the groups of four of the run of rings from `ring` (a
    // multiple of its length: 8 rings, or 64 when `longRun`) can begin or
    // end no eight offsets outside in a row with the groups beside them,
    // the axis and diagonal groups ending as `axis` and `diagonal`. What a
    // scan steps over rings by; public for tests.
    bool RunOfFoursHolds(uint32_t ring, bool longRun, const int64_t (&margin)[4], const SGroupEnds& axis,
                         const SGroupEnds& diagonal);

private:
    struct SPos {
        uint32_t ring;
        uint32_t index;
    };
    // Inline: every group the replay steps through asks for its ring.
    const std::vector<SOffsetGroup>& Ring(uint32_t ring) {
        if (ring < kept_.size() && kept_[ring].ring == ring) return kept_[ring].groups;
        return MadeRing(ring);
    }
    const std::vector<SOffsetGroup>& MadeRing(uint32_t ring);
    const SOffsetGroup& At(SPos pos) { return Ring(pos.ring)[pos.index]; }
    SPos FirstAbove(uint64_t distSq);
    SPos Back(SPos pos, int groups);
    // Where a scan must stop stepping over groups: at the first group past
    // distSq, found once per scan when first needed.
    struct SLimit {
        uint64_t distSq = 0;
        uint32_t endRing = 0;
        bool endKnown = false;
        SPos end{};
    };
    SPos SafeEnd(SPos from, SLimit& limit, uint32_t bLimit, uint32_t kLimit, uint32_t kFirstRing);
    SPos RingSkip(SPos from, int outside, uint32_t lastRing, std::optional<CGroupClasses>& classes,
                  const int64_t (&margin)[4], uint32_t& stopRing);

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
    std::vector<SRingEdges> edges_;

    // What the groups of four of a run of rings have on either side, free
    // of any margins: the largest k and b among the groups of eight before
    // and after each ring's axis, and likewise its diagonal, the next
    // ring's first group (1, ring) counting as after a ring's last. An
    // offset of a group with larger k and b lies outside wherever that of
    // the smaller one does, so these bound every run those groups end or
    // begin, and one test vouches for the whole run of rings.
    struct SFourSides {
        uint16_t beforeK = 0, beforeB = 0, afterK = 0, afterB = 0;
    };
    struct SRunOfFours {
        bool made = false;
        // Every group of four has groups of eight on both sides: none
        // that the bounds above leave out.
        bool plain = true;
        bool anyDiagonal = false;
        SFourSides axis, diagonal;
    };
    static constexpr uint32_t kFourRun = 8, kFourRunsInLong = 8;
    // Runs of kFourRun rings, and of kFourRun·kFourRunsInLong, by the ring
    // they start at; made when first asked for, sized as edges_ is.
    const SRunOfFours& RunOfFours(uint32_t ring, bool longRun);
    static bool RunHolds(const SRunOfFours& run, const int64_t (&margin)[4], const SGroupEnds& axis,
                         const SGroupEnds& diagonal);
    // Makes room for the rings' edges and runs up to lastRing + 1; no
    // entry moves while a scan runs.
    void SizeFor(uint32_t lastRing);
    std::vector<SRunOfFours> fourRuns_, longFourRuns_;

    // The groups of the rings walked (ring a: lo = (a - 1)², hi = a²): every
    // ring up to kKeptRings once walked, 23 MB at most, since the
    // pixels of one page start and end their scans anywhere in a range of
    // rings as wide as the page (a strip's pixels sweep it twice, so fewer
    // kept make the rings near the page's own width again and again); beyond
    // it, the kRings walked lately.
    static constexpr uint32_t kKeptRings = 2600;
    static constexpr uint32_t kRings = 256;
    // What a lookup of a distance reads comes first, within one cache line.
    struct SCached {
        uint32_t ring = 0;  // none: rings count from 1
        std::vector<SOffsetGroup> groups;
        // Entry j: the first group farther than (ring - 1)² + kDistanceStep·j.
        // The largest ring holds some 26 000 groups.
        std::vector<uint16_t> byDistance;
        // The largest b and k of each kBlock groups, and of each kSpan, for
        // skipping ahead.
        std::vector<uint16_t> blockB, blockK, spanB, spanK;
        uint32_t axis = 0;  // where the group (0, ring) lies
    };
    static constexpr uint32_t kBlock = 16;
    static constexpr uint32_t kSpan = 8 * kBlock;
    static constexpr uint32_t kDistanceStep = 8;
    uint32_t FirstUnsafe(uint32_t ring, uint32_t from, uint32_t end, uint32_t bLimit, uint32_t kLimit);
    SCached& Slot(uint32_t ring) {
        if (ring > kKeptRings) return cache_[ring % kRings];
        // Sized once, so that no slot moves while a caller holds its groups.
        if (kept_.empty()) kept_.resize(kKeptRings + 1);
        return kept_[ring];
    }
    // The groups of pos's ring, through `walking`, the ring the walk holds:
    // looked up again only when the walk moves on or stepping over groups
    // made another ring in its place.
    const std::vector<SOffsetGroup>& Walking(const SCached*& walking, SPos pos) {
        if (!walking || walking->ring != pos.ring) {
            Ring(pos.ring);
            walking = &Slot(pos.ring);
        }
        return walking->groups;
    }
    SPos StepOn(const SCached*& walking, SPos pos) {
        if (pos.index + 1 < Walking(walking, pos).size()) return {pos.ring, pos.index + 1};
        return {pos.ring + 1, 0};
    }
    std::vector<SCached> kept_;
    SCached cache_[kRings];
    // Where each kept ring's groups and index lie, once made: a few bytes a
    // ring, which stay near where the rings' own records, walked past by
    // every scan, do not.
    struct SKeptRing {
        const SOffsetGroup* groups = nullptr;
        const uint16_t* byDistance = nullptr;
        uint32_t size = 0;
    };
    std::vector<SKeptRing> keptRings_;
    uint32_t prefetchRing_ = 0;  // the ring Prefetch found last
    // The ring's groups and index, made if need be.
    SKeptRing Lookup(uint32_t ring);
    // Where in ring `ring` the first group past distSq lies.
    static uint32_t IndexAbove(const SKeptRing& found, uint32_t ring, uint64_t distSq);
    // Where the last scan's hint placed it in the order.
    uint32_t startHint_ = 0;
    SPos start_{};
    // The stretch of safe groups the last scan to weigh its start stepped
    // over from there, by one pairing, and what a margin must be for it to
    // hold: neighbouring pixels mostly step over the same one. hint 0: none.
    struct SStretch {
        uint32_t hint = 0;
        int side = 0, other = 0;
        int64_t needSide = 0, needOther = 0;
        SPos resume{}, end{};
        uint64_t resumeDistSq = 0;
    };
    SStretch stretch_;
    // The last place a scan resumed at, past everything it stepped over
    // and walked, with its hint and the margins it did so under. hint 0:
    // none.
    struct SResumed {
        uint32_t hint = 0;
        int64_t margin[4] = {};
        SPos resume{};
        uint64_t resumeDistSq = 0;
    };
    SResumed resumed_;
    // Held here so that a scan does not clear a fresh one for itself.
    std::optional<CGroupClasses> classes_;
};
