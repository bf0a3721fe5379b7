#include "engine/fastpath/ScanReplay.h"

#include <algorithm>
#include <bit>
#include <numbers>
#include <optional>

#include "engine/fastpath/GroupClasses.h"
#include "engine/IntegerRoot.h"
#include "engine/PixelDistance.h"
#include "engine/fastpath/ScanShortcut.h"

// Why the replay is exact.
//
// The scan takes the order's offsets from the first one at distance² G²:
// an offset outside the image counts towards eight in a row, one inside
// resets the count and is read. Every pixel read closer than the nearest
// colour is black, so the scan ends on the first colour among the groups of
// that distance, at the depth, or on the eighth offset in a row outside the
// image. The replay follows it group by group, exactly, except over runs of
// groups in which eight in a row cannot occur, which it steps over.
//
// Such runs come from one side of the image being out of reach of a group.
// Say the right edge lies at least b columns away and the bottom edge at
// least k rows: then the offset (b, k) of the group (k, b) lies inside the
// image. It is the group's second offset (for (0, b) the offset (b, 0), for
// (b, b) the first), so at most one offset before it and six after it in the
// group can be outside, and a run of outside offsets across two such groups
// is at most 6 + 1 = 7 long. The same holds, offset by offset, for the other
// pairings of a side with the edge next to it: right with top, top with right
// or left, left with top or bottom, bottom with right (each such group has an
// offset inside there, and the longest tail of one group plus head of the
// next is 7). Bottom with left is left out: an axis group (0, b) may end in
// three outside offsets and the next group begin with seven. So among
// consecutive groups that all satisfy one pairing (b within the side's
// margin, k within the other's) the scan cannot give up. A window of eight
// that gives up past such a stretch cannot contain any of its groups whole,
// each having an offset inside, so it begins after the last of them began:
// resuming there with the count at zero finds the same give-up and the same
// last pixel read. A run still open when the stretch begins is the one exception,
// when it comes from a group outside the pairing: the replay then walks on
// group by group until the count is back at zero or the stretch holds.
//
// Whole rings are stepped over by the classes of their groups (see
// GroupClasses.h): where every group of eight holds an offset inside the
// image, a run of outside offsets spans at most the tail of one group and
// the head of the next, so no class's tail plus any class's head reaching
// eight, among all the classes of the rings stepped over, means no give-up
// between groups of eight. A group of four has a class of its own, one per
// ring; where its ends could make eight with the classes around it, it is
// checked against its actual neighbours in the order, and so is the pair
// where one span of rings meets the next. None of the groups vouched for is
// wholly outside, so the replay resumes one group before the first group it
// could not vouch for, as above.
//
// The hint the scan leaves follows from where it ended: the largest ring a
// whose axis offset (±a, 0) it examined inside the image (ScanShortcut's
// HintLeft).

namespace {

// Groups walked past the end of a stretch of safe groups, or past a place
// where none begins, before stepping over groups is tried again.
constexpr int kWalkedAtAnEnd = 2;

// A scan that walked more than this many rings looking for the end of a run
// of safe groups stops looking there: the run ends no sooner than that.
constexpr uint32_t kLookAheadRings = 8;

}  // namespace

// Beyond the kept rings, neighbouring rings fall in different slots, so
// the rings a scan walks and looks ahead through stay together.
const std::vector<SOffsetGroup>& CScanReplay::MadeRing(uint32_t ring) {
    SCached& slot = Slot(ring);
    if (slot.ring != ring) {
        const uint64_t lo = uint64_t(ring - 1) * (ring - 1);
        slot.groups.clear();
        AppendGroupsBetween(lo, uint64_t(ring) * ring, slot.groups);
        const size_t size = slot.groups.size();
        const SOffsetGroup* groups = slot.groups.data();
        slot.blockB.resize((size + kBlock - 1) / kBlock);
        slot.blockK.resize(slot.blockB.size());
        for (size_t block = 0; block < slot.blockB.size(); ++block) {
            uint16_t b = 0, k = 0;
            for (size_t i = block * kBlock; i < std::min(size, (block + 1) * kBlock); ++i) {
                b = std::max(b, groups[i].b);
                k = std::max(k, groups[i].k);
            }
            slot.blockB[block] = b;
            slot.blockK[block] = k;
        }
        constexpr size_t kBlocksInSpan = kSpan / kBlock;
        slot.spanB.resize((size + kSpan - 1) / kSpan);
        slot.spanK.resize(slot.spanB.size());
        for (size_t span = 0; span < slot.spanB.size(); ++span) {
            const auto first = slot.blockB.begin() + std::ptrdiff_t(span * kBlocksInSpan);
            const auto count =
                std::ptrdiff_t(std::min(kBlocksInSpan, slot.blockB.size() - span * kBlocksInSpan));
            slot.spanB[span] = *std::max_element(first, first + count);
            const auto firstK = slot.blockK.begin() + std::ptrdiff_t(span * kBlocksInSpan);
            slot.spanK[span] = *std::max_element(firstK, firstK + count);
        }
        slot.byDistance.resize(size_t(2 * (ring - 1) / kDistanceStep) + 1);
        size_t i = 0;
        for (size_t step = 0; step < slot.byDistance.size(); ++step) {
            const uint64_t bound = lo + kDistanceStep * step;
            while (i < size && groups[i].distSq <= bound) ++i;
            slot.byDistance[step] = uint16_t(i);
        }
        // Among the groups of distance ring², after (3, 4) in ring 5 and
        // (6, 8) in ring 10, first in every other ring.
        const uint64_t axisSq = uint64_t(ring) * ring;
        slot.axis = slot.byDistance[size_t((axisSq - 1 - lo) / kDistanceStep)];
        while (groups[slot.axis].distSq < axisSq || groups[slot.axis].k != 0) ++slot.axis;
        slot.ring = ring;
        if (ring <= kKeptRings) {
            if (keptRings_.empty()) keptRings_.resize(kKeptRings + 1);
            keptRings_[ring] = {slot.groups.data(), slot.byDistance.data(), uint32_t(size)};
        }
    }
    return slot.groups;
}

CScanReplay::SKeptRing CScanReplay::Lookup(uint32_t ring) {
    if (ring <= kKeptRings && ring < keptRings_.size() && keptRings_[ring].groups) return keptRings_[ring];
    const std::vector<SOffsetGroup>& groups = Ring(ring);
    return {groups.data(), Slot(ring).byDistance.data(), uint32_t(groups.size())};
}

// Ring a holds the groups with (a - 1)² < distSq <= a², so the first group
// past distSq lies in the ring that holds distSq + 1.
uint32_t CScanReplay::IndexAbove(const SKeptRing& found, uint32_t ring, uint64_t distSq) {
    const uint64_t lo = uint64_t(ring - 1) * (ring - 1);
    uint32_t index = found.byDistance[size_t((distSq - lo) / kDistanceStep)];
    while (index < found.size && found.groups[index].distSq <= distSq) ++index;
    return index;
}

CScanReplay::SPos CScanReplay::FirstAbove(uint64_t distSq) {
    const uint32_t ring = IntSqrt(distSq) + 1;
    return {ring, IndexAbove(Lookup(ring), ring, distSq)};
}

std::span<const SOffsetGroup> CScanReplay::GroupsAt(uint64_t distSq) {
    const uint32_t ring = IntSqrt(distSq - 1) + 1;
    const SKeptRing found = Lookup(ring);
    const uint32_t first = IndexAbove(found, ring, distSq - 1);
    uint32_t end = first;
    while (end < found.size && found.groups[end].distSq == distSq) ++end;
    return {found.groups + first, end - first};
}

namespace {

bool Before(uint32_t ringA, uint32_t indexA, uint32_t ringB, uint32_t indexB) {
    return ringA != ringB ? ringA < ringB : indexA < indexB;
}

}  // namespace

CScanReplay::SPos CScanReplay::Back(SPos pos, int groups) {
    for (; groups > 0; --groups) {
        if (pos.index > 0)
            --pos.index;
        else if (pos.ring > 1)
            pos = {pos.ring - 1, uint32_t(Ring(pos.ring - 1).size() - 1)};
    }
    return pos;
}

// The first group of the ring in from .. end - 1 with b > bLimit or
// k > kLimit, or `end`.
uint32_t CScanReplay::FirstUnsafe(uint32_t ring, uint32_t from, uint32_t end, uint32_t bLimit,
                                  uint32_t kLimit) {
    Ring(ring);
    const SCached& slot = Slot(ring);
    // No group of the ring has k above ring / √2 (never whole, so the floor
    // of a double is exact), and only its axis group has b = ring.
    if (kLimit >= uint32_t(double(ring) * 0.70710678118654752) && bLimit + 1 >= ring) {
        if (bLimit >= ring) return end;
        return slot.axis >= from && slot.axis < end ? slot.axis : end;
    }
    const SOffsetGroup* groups = slot.groups.data();
    auto unsafe = [&](uint32_t i) { return groups[i].b > bLimit || groups[i].k > kLimit; };
    uint32_t i = from;
    for (; i < end && i % kBlock != 0; ++i)
        if (unsafe(i)) return i;
    while (i < end) {
        if (i % kSpan == 0 && i + kSpan <= end && slot.spanB[i / kSpan] <= bLimit &&
            slot.spanK[i / kSpan] <= kLimit) {
            i += kSpan;
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

// SizeFor sizes edges_ for every ring a scan may look at before it starts,
// so that no entry moves while a caller holds it.
const CScanReplay::SRingEdges& CScanReplay::Edges(uint32_t ring) {
    if (edges_[ring].size) return edges_[ring];
    const std::vector<SOffsetGroup>& groups = Ring(ring);
    SRingEdges edges;
    edges.size = uint32_t(groups.size());
    edges.first = groups.front();
    edges.last = groups.back();
    for (uint32_t i = 0; i < edges.size && edges.fourCount < 2; ++i) {
        if (groups[i].k != 0 && groups[i].k != groups[i].b) continue;
        SRingEdges::SFour& four = edges.fours[edges.fourCount++];
        four.index = i;
        four.group = groups[i];
        four.hasBefore = i > 0;
        if (four.hasBefore) four.before = groups[i - 1];
        four.hasAfter = i + 1 < edges.size;
        if (four.hasAfter) four.after = groups[i + 1];
    }
    edges_[ring] = edges;
    return edges_[ring];
}

const CScanReplay::SRunOfFours& CScanReplay::RunOfFours(uint32_t ring, bool longRun) {
    const uint32_t length = longRun ? kFourRun * kFourRunsInLong : kFourRun;
    std::vector<SRunOfFours>& runs = longRun ? longFourRuns_ : fourRuns_;
    SRunOfFours& run = runs[ring / length];
    if (run.made) return run;
    SRunOfFours made;
    auto widen = [](SFourSides& sides, const SFourSides& other) {
        sides.beforeK = std::max(sides.beforeK, other.beforeK);
        sides.beforeB = std::max(sides.beforeB, other.beforeB);
        sides.afterK = std::max(sides.afterK, other.afterK);
        sides.afterB = std::max(sides.afterB, other.afterB);
    };
    if (longRun) {
        for (uint32_t part = 0; part < kFourRunsInLong; ++part) {
            const SRunOfFours& shorter = RunOfFours(ring + part * kFourRun, false);
            made.plain &= shorter.plain;
            made.anyDiagonal |= shorter.anyDiagonal;
            widen(made.axis, shorter.axis);
            widen(made.diagonal, shorter.diagonal);
        }
    } else {
        auto eight = [](const SOffsetGroup& g) { return g.k != 0 && g.k != g.b; };
        for (uint32_t r = ring; r < ring + kFourRun; ++r) {
            // Rings 1 and 2 hold nothing but groups of four.
            if (r < 3) {
                made.plain = false;
                continue;
            }
            const SRingEdges& edges = Edges(r);
            for (int i = 0; i < edges.fourCount; ++i) {
                const SRingEdges::SFour& four = edges.fours[i];
                if (!four.hasBefore || !eight(four.before) || (four.hasAfter && !eight(four.after))) {
                    made.plain = false;
                    continue;
                }
                SFourSides sides;
                sides.beforeK = four.before.k, sides.beforeB = four.before.b;
                const SOffsetGroup after = four.hasAfter ? four.after : SOffsetGroup{0, 1, uint16_t(r)};
                sides.afterK = after.k, sides.afterB = after.b;
                const bool axis = four.group.k == 0;
                made.anyDiagonal |= !axis;
                widen(axis ? made.axis : made.diagonal, sides);
            }
        }
    }
    made.made = true;
    run = made;
    return run;
}

bool CScanReplay::RunHolds(const SRunOfFours& run, const int64_t (&margin)[4], const SGroupEnds& axis,
                           const SGroupEnds& diagonal) {
    auto eightEnds = [&](uint16_t k, uint16_t b) {
        using namespace group_classes;
        return GroupEnds(kEightMasks.mask[WithinBits(k, margin)][WithinBits(b, margin)], 8);
    };
    auto bounded = [&](const SGroupEnds& own, const SFourSides& sides) {
        return !own.empty && eightEnds(sides.beforeK, sides.beforeB).tail + own.head < kMaxOutOfBounds &&
               own.tail + eightEnds(sides.afterK, sides.afterB).head < kMaxOutOfBounds;
    };
    return run.plain && bounded(axis, run.axis) && (!run.anyDiagonal || bounded(diagonal, run.diagonal));
}

bool CScanReplay::RunOfFoursHolds(uint32_t ring, bool longRun, const int64_t (&margin)[4],
                                  const SGroupEnds& axis, const SGroupEnds& diagonal) {
    SizeFor(ring + kFourRun * kFourRunsInLong);
    return RunHolds(RunOfFours(ring, longRun), margin, axis, diagonal);
}

void CScanReplay::SizeFor(uint32_t lastRing) {
    if (edges_.size() >= size_t(lastRing) + 2) return;
    edges_.resize(size_t(lastRing) + 2);
    fourRuns_.resize(edges_.size() / kFourRun + 1);
    longFourRuns_.resize(edges_.size() / (kFourRun * kFourRunsInLong) + 1);
}

// Whole rings from `from` on in which the scan cannot give up, judged by
// the classes of their groups: none wholly outside, and no class ending in
// more outside offsets than any class (of all the rings stepped over) may
// begin with before eight. The groups of four are few, one or two a ring,
// and end worse than the others near an edge, so where their classes fail
// that test they are checked with their actual neighbours. Returns the first
// group it cannot vouch for, and the ring it stopped in.
CScanReplay::SPos CScanReplay::RingSkip(SPos from, int outside, uint32_t lastRing,
                                        std::optional<CGroupClasses>& classes, const int64_t (&margin)[4],
                                        uint32_t& stopRing) {
    stopRing = from.ring;
    auto endsOf = [&](const SOffsetGroup& g) {
        int count = 0;
        const uint32_t mask = InsideMask(g, margin, count);
        return GroupEnds(mask, count);
    };
    const SGroupEnds entry = endsOf(At(from));
    if (entry.empty || outside + entry.head >= kMaxOutOfBounds) return from;
    // Made for the scan's rings the first time they are needed.
    if (!classes) classes.emplace(margin, from.ring, lastRing);
    int head = 0, tail = 0;
    uint32_t ring = from.ring;
    while (ring <= lastRing) {
        const SRingSpan span = classes->SpanAt(ring);
        if (span.anyEmpty) break;
        head = std::max<int>(head, span.head);
        tail = std::max<int>(tail, span.tail);
        if (head + tail >= kMaxOutOfBounds) break;
        const uint32_t spanEnd = std::min<uint64_t>(span.end, uint64_t(lastRing) + 1);
        auto fits = [&](const SGroupEnds& four) {
            return !four.empty && four.head + tail < kMaxOutOfBounds && head + four.tail < kMaxOutOfBounds;
        };
        if (fits(span.axis) && fits(span.diagonal) && span.axis.head + span.diagonal.tail < kMaxOutOfBounds &&
            span.diagonal.head + span.axis.tail < kMaxOutOfBounds) {
            ring = spanEnd;
            if (ring > lastRing) break;
            // The ring's last group may be one of four that the next span's
            // classes were not weighed against.
            const SRingEdges& last = Edges(ring - 1);
            if (endsOf(last.last).tail + endsOf(Edges(ring).first).head >= kMaxOutOfBounds) {
                stopRing = ring - 1;
                return {ring - 1, last.size - 1};
            }
            continue;
        }
        // Where a whole run of rings lies in the span, its bounds may vouch
        // for all its groups of four at once: within the span the axis and
        // the diagonal keep their class.
        constexpr uint32_t kLong = kFourRun * kFourRunsInLong;
        for (; ring < spanEnd; ++ring) {
            if (ring > from.ring) {
                if (ring % kLong == 0 && ring + kLong <= spanEnd &&
                    RunHolds(RunOfFours(ring, true), margin, span.axis, span.diagonal)) {
                    ring += kLong - 1;
                    continue;
                }
                if (ring % kFourRun == 0 && ring + kFourRun <= spanEnd &&
                    RunHolds(RunOfFours(ring, false), margin, span.axis, span.diagonal)) {
                    ring += kFourRun - 1;
                    continue;
                }
            }
            const SRingEdges& edges = Edges(ring);
            const uint32_t first = ring == from.ring ? from.index : 0;
            for (int i = 0; i < edges.fourCount; ++i) {
                const SRingEdges::SFour& four = edges.fours[i];
                if (four.index < first) continue;
                // Within a span the ring's axis and diagonal keep their class.
                const SGroupEnds own = four.group.k == 0 ? span.axis : span.diagonal;
                bool fails = own.empty;
                // A neighbour of eight offsets in this ring belongs to a class
                // of the span: its ends are within the span's.
                auto eight = [](const SOffsetGroup& g) { return g.k != 0 && g.k != g.b; };
                if (!fails && four.index > first &&
                    !(four.hasBefore && eight(four.before) && tail + own.head < kMaxOutOfBounds)) {
                    const SOffsetGroup before = four.hasBefore ? four.before : Edges(ring - 1).last;
                    fails = endsOf(before).tail + own.head >= kMaxOutOfBounds;
                }
                if (!fails && !(four.hasAfter && eight(four.after) && own.tail + head < kMaxOutOfBounds)) {
                    const SOffsetGroup after = four.hasAfter ? four.after : Edges(ring + 1).first;
                    fails = own.tail + endsOf(after).head >= kMaxOutOfBounds;
                }
                if (fails) {
                    stopRing = ring;
                    return {ring, four.index};
                }
            }
        }
    }
    stopRing = ring;
    return ring == from.ring ? from : SPos{ring, 0};
}

// The first group from `from` on with distSq > nLimit, b > bLimit or
// k > kLimit, or a group no later than that: rings far ahead are not all
// made to find out.
CScanReplay::SPos CScanReplay::SafeEnd(SPos from, SLimit& limit, uint32_t bLimit, uint32_t kLimit,
                                       uint32_t kFirstRing) {
    // No group of a ring a has b above a, nor k above sqrt(a² / 2).
    const uint32_t firstRing = std::min(bLimit + 1, kFirstRing);
    SPos pos = from.ring >= firstRing ? from : SPos{firstRing, 0};
    for (uint32_t looked = 0;; ++looked) {
        if (pos.ring >= limit.endRing) {
            if (!limit.endKnown) {
                limit.end = FirstAbove(limit.distSq);
                limit.endKnown = true;
            }
            if (pos.ring > limit.endRing) return limit.end;
            return {pos.ring, FirstUnsafe(pos.ring, pos.index, limit.end.index, bLimit, kLimit)};
        }
        if (looked == kLookAheadRings) return pos;
        const auto size = uint32_t(Ring(pos.ring).size());
        const uint32_t unsafe = FirstUnsafe(pos.ring, pos.index, size, bLimit, kLimit);
        if (unsafe < size) return {pos.ring, unsafe};
        pos = {pos.ring + 1, 0};
    }
}

SReplayedScan CScanReplay::Replay(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t hint,
                                  uint32_t reach, uint64_t distSq, SReplayColours& colours) {
    SReplayedScan result;
    const uint64_t reachSq = uint64_t(reach) * reach;
    const bool colourWithin = distSq <= reachSq;
    const uint64_t hintSq = uint64_t(hint) * hint;
    if (hint == 0 || hint > reach || (colourWithin && hintSq > distSq)) return result;
    const uint64_t stopSq = colourWithin ? distSq : reachSq;
    const int64_t margin[4] = {int64_t(width) - 1 - x, y, x, int64_t(height) - 1 - y};

    // Ring a holds the distances² above (a - 1)² up to a², so a group's
    // distance rounded down is its ring only at a².
    auto hintAt = [&](const SOffsetGroup& g, uint32_t ring, int position) {
        const uint32_t r = g.distSq == uint64_t(ring) * ring ? ring : ring - 1;
        uint32_t plusLast = r, minusLast = r;
        if (g.k == 0) {
            plusLast = position >= 1 ? r : r - 1;
            minusLast = position >= 3 ? r : r - 1;
        } else if (uint64_t(r) * r == g.distSq && (g.distSq == 25 || g.distSq == 100)) {
            // The two distances whose axis group comes last.
            plusLast = minusLast = r - 1;
        }
        return scan_shortcut::HintLeft(x, width, hint, plusLast, minusLast);
    };

    // Neighbouring pixels mostly start from the same hint. The scan starts
    // at the first group of distance hint², the ring's axis group but in
    // rings 5 and 10.
    if (startHint_ != hint) {
        if (hint == 5 || hint == 10) {
            start_ = FirstAbove(hintSq - 1);
        } else {
            Ring(hint);
            start_ = {hint, Slot(hint).axis};
        }
        startHint_ = hint;
    }
    SPos pos = start_;
    SPos weighed = pos;  // groups before this one were found safe already
    // Where a stretch of safe groups ends, or where none begins, the scan
    // most often gives up within a group or two: those few are walked
    // before stepping over groups is tried again.
    int walkFirst = 0;
    // Rings from this one on are worth judging whole.
    uint32_t ringsFrom = pos.ring;
    // The colour's own groups are always walked.
    SLimit limit;
    limit.distSq = colourWithin ? distSq - 1 : stopSq;
    // The last place an earlier scan resumed at holds for this one too
    // where this one starts no sooner, and every offset before that place
    // that lay inside the image lies inside here: each margin as large, or
    // past every offset of those rings. Runs outside are then no longer,
    // and that scan met none of eight; the place's own group still holds an
    // offset inside. Down a column the scan before is the one asked.
    bool resumesFarther = resumed_.hint && resumed_.hint <= hint && resumed_.resumeDistSq <= limit.distSq &&
                          Before(start_.ring, start_.index, resumed_.resume.ring, resumed_.resume.index);
    for (int side = 0; side < 4 && resumesFarther; ++side)
        resumesFarther = margin[side] >= std::min<int64_t>(resumed_.margin[side], resumed_.resume.ring);
    // A stretch from this start that an earlier scan stepped over holds
    // for this pixel too where its margins still bound every group in it.
    const bool opening =
        !resumesFarther &&
        !(stretch_.hint == hint && margin[stretch_.side] >= stretch_.needSide &&
          margin[stretch_.other] >= stretch_.needOther && stretch_.resumeDistSq <= limit.distSq);
    // This scan weighs its start itself, and keeps what it steps over there.
    bool weighingStart = opening;
    if (resumesFarther) {
        pos = resumed_.resume;
        weighed = pos;
        walkFirst = 1 + kWalkedAtAnEnd;
    } else if (!opening) {
        pos = stretch_.resume;
        weighed = stretch_.end;
        walkFirst = 1 + kWalkedAtAnEnd;
    }
    // What weighing groups takes, worked out when the scan first weighs
    // any: one that resumes past its start mostly gives up before.
    bool prepared = false;
    uint32_t lastWholeRing = 0;
    uint32_t kFirstRing[4];
    int pairings[4];
    int pairingCount = 0;
    std::optional<CGroupClasses>& classes = classes_;
    auto prepare = [&] {
        prepared = true;
        limit.endRing = (colourWithin ? IntSqrt(limit.distSq) : reach) + 1;
        lastWholeRing = std::min(limit.endRing - 1, kMaxOrderRing - 1);
        classes.reset();
        // The first ring that may hold a group with k beyond each margin:
        // for k > 0, k√2 is never whole, and a double rounds it far closer
        // than its distance to the nearest whole number, so the floor is
        // exact.
        for (int side = 0; side < 4; ++side) {
            const double k = double(std::min<int64_t>(margin[side], UINT16_MAX));
            kFirstRing[side] = uint32_t(k * std::numbers::sqrt2) + 1;
        }
        // Of two pairings of one side the one with the larger other margin
        // vouches for every group the other does: only it is asked.
        auto wider = [&](int p, int q) {
            return margin[kEdgePairings[q][1]] > margin[kEdgePairings[p][1]] ? q : p;
        };
        pairings[pairingCount++] = wider(0, 1);
        pairings[pairingCount++] = wider(2, 3);
        pairings[pairingCount++] = wider(4, 5);
        pairings[pairingCount++] = 6;
        SizeFor(lastWholeRing);
    };
    int outside = 0;
    const SCached* walking = nullptr;
    SOffsetGroup previous{};  // the group walked last
    // The last offset read inside, found from its group only when asked for:
    // index -1 for none, which leaves (0, 0), the pixel itself.
    SOffsetGroup lastGroup{};
    int lastIndex = -1;
    // Made whole here rather than copied from `result` field by field, which
    // would read back stores still on their way to memory.
    auto giveUp = [&](const SOffsetGroup& g, int position) {
        SReplayedScan scan;
        scan.end = SReplayedScan::EEnd::GaveUp;
        if (lastIndex >= 0) {
            int32_t offsets[8][2];
            GroupOffsets(lastGroup, offsets);
            scan.dx = offsets[lastIndex][0], scan.dy = offsets[lastIndex][1];
        }
        scan.hint = hintAt(g, pos.ring, position);
        scan.lastDistSq = g.distSq;
        return scan;
    };
    for (;;) {
        const SOffsetGroup g = Walking(walking, pos)[pos.index];
        if (g.distSq > stopSq) break;
        if (walkFirst == 0 && !Before(pos.ring, pos.index, weighed.ring, weighed.index)) {
            if (!prepared) prepare();
            SPos best = pos;
            int bestPairing = -1;
            for (int p = 0; p < pairingCount; ++p) {
                const auto& pairing = kEdgePairings[pairings[p]];
                const int64_t side = margin[pairing[0]], other = margin[pairing[1]];
                auto safe = [&](const SOffsetGroup& h) { return h.b <= side && h.k <= other; };
                // A run still open from a group that breaks the pairing
                // could end eight long inside this one.
                if (!safe(g) || (outside > 0 && !safe(previous))) continue;
                const SPos end =
                    SafeEnd(pos, limit, uint32_t(std::min<int64_t>(side, UINT16_MAX)),
                            uint32_t(std::min<int64_t>(other, UINT16_MAX)), kFirstRing[pairing[1]]);
                if (Before(best.ring, best.index, end.ring, end.index)) {
                    best = end;
                    bestPairing = pairings[p];
                }
            }
            // Where the pairings end within the ring, the classes may reach further.
            if (best.ring == pos.ring && pos.ring >= ringsFrom && pos.ring <= lastWholeRing) {
                uint32_t stopRing = 0;
                const SPos end = RingSkip(pos, outside, lastWholeRing, classes, margin, stopRing);
                ringsFrom = stopRing + 1;
                if (Before(best.ring, best.index, end.ring, end.index)) {
                    best = end;
                    bestPairing = -1;
                }
            }
            weighed = best;
            const SPos resume = Back(best, 1);
            if (weighingStart) {
                weighingStart = false;
                // Every group of the stretch has b up to the ring of its end
                // and k up to that ring / √2 (never whole: the floor of the
                // double is exact), as well as within the pairing's margins.
                stretch_.hint =
                    bestPairing >= 0 && Before(pos.ring, pos.index, resume.ring, resume.index) ? hint : 0;
                if (stretch_.hint) {
                    stretch_.side = kEdgePairings[bestPairing][0];
                    stretch_.other = kEdgePairings[bestPairing][1];
                    stretch_.needSide = std::min<int64_t>(margin[stretch_.side], best.ring);
                    stretch_.needOther = std::min<int64_t>(margin[stretch_.other],
                                                           int64_t(double(best.ring) * 0.70710678118654752));
                    stretch_.resume = resume;
                    stretch_.end = best;
                    stretch_.resumeDistSq = At(resume).distSq;
                }
            }
            if (Before(pos.ring, pos.index, resume.ring, resume.index)) {
                pos = resume;
                outside = 0;
                walkFirst = 1 + kWalkedAtAnEnd;
                resumed_.hint = hint;
                std::copy(std::begin(margin), std::end(margin), resumed_.margin);
                resumed_.resume = resume;
                resumed_.resumeDistSq = At(resume).distSq;
                continue;
            }
            walkFirst = kWalkedAtAnEnd;
        }
        if (walkFirst > 0) --walkFirst;
        previous = g;
        if (!colourWithin || g.distSq != distSq) {
            // Black wherever it lies inside: only which offsets lie inside
            // matters, one bit each in search order.
            int count = 0;
            const uint32_t inside = InsideMask(g, margin, count);
            const int head = inside ? std::countr_zero(inside) : count;
            if (outside + head >= kMaxOutOfBounds) return giveUp(g, kMaxOutOfBounds - 1 - outside);
            if (!inside) {
                outside += count;
            } else {
                lastGroup = g;
                lastIndex = 31 - std::countl_zero(inside);
                outside = count - 1 - lastIndex;
            }
            pos = StepOn(walking, pos);
            continue;
        }
        int32_t offsets[8][2];
        const int count = GroupOffsets(g, offsets);
        for (int i = 0; i < count; ++i) {
            const int32_t dx = offsets[i][0], dy = offsets[i][1];
            const bool inside =
                -dx <= margin[kLeft] && dx <= margin[kRight] && -dy <= margin[kTop] && dy <= margin[kBottom];
            if (inside) {
                if (colourWithin && g.distSq == distSq && colours.IsColour(dx, dy)) {
                    SReplayedScan found;
                    found.end = SReplayedScan::EEnd::Found;
                    found.dx = dx, found.dy = dy;
                    found.hint = hintAt(g, pos.ring, i);
                    found.lastDistSq = g.distSq;
                    return found;
                }
                outside = 0;
                lastGroup = g;
                lastIndex = i;
            } else if (++outside == kMaxOutOfBounds) {
                return giveUp(g, i);
            }
        }
        pos = StepOn(walking, pos);
    }
    // Every group within the colour's distance walked without meeting it:
    // the distance does not match the image.
    if (colourWithin) return result;
    result.end = SReplayedScan::EEnd::TooDeep;
    result.hint = scan_shortcut::HintLeft(x, width, hint, reach, reach);
    result.lastDistSq = reachSq;
    return result;
}
