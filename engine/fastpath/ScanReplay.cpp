#include "engine/fastpath/ScanReplay.h"

#include <algorithm>
#include <bit>

#include "engine/PixelDistance.h"
#include "engine/fastpath/ScanShortcut.h"

namespace {

// Groups walked past the end of a stretch of safe groups, or past a place
// where none begins, before stepping over groups is tried again: there the
// scan most often gives up within a group or two.
constexpr int kWalkedAtAnEnd = 2;

}  // namespace

// One scan as it goes.
struct CScanReplay::SScan {
    SScan(int32_t px, int32_t py, int32_t w, int32_t h, uint32_t g, uint32_t r, uint64_t d)
        : x(px),
          width(w),
          hint(g),
          reach(r),
          colourWithin(d <= uint64_t(r) * r),
          distSq(d),
          stopSq(colourWithin ? d : uint64_t(r) * r),
          limitSq(colourWithin ? d - 1 : stopSq) {
        MarginsOf(px, py, w, h, margin);
    }
    int32_t x, width;
    uint32_t hint, reach;
    bool colourWithin;
    uint64_t distSq, stopSq;
    // No stretch goes past this: the colour's own groups are always walked.
    uint64_t limitSq;
    int64_t margin[4];  // right, top, left, bottom
    SRingPos pos{};
    SRingPos weighed{};  // groups before this one were found safe already
    int walkFirst = 0;   // groups to walk before stepping over is tried again
    // What weighing groups takes, made when the scan first weighs any: one
    // that resumes past its start mostly gives up before.
    std::optional<CSafeStretches> stretches;
    uint32_t ringsFrom = 0;  // rings from this one on are worth judging whole
    uint32_t lastWholeRing = 0;
    int outside = 0;  // offsets outside in a row so far
    SOffsetGroup previous{};
    // The last offset read inside, found from its group only when asked for:
    // index -1 for none, which leaves (0, 0), the pixel itself.
    SOffsetGroup lastGroup{};
    int lastIndex = -1;
};

SReplayedScan CScanReplay::Replay(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t hint,
                                  uint32_t reach, uint64_t distSq, SReplayColours& colours) {
    const uint64_t reachSq = uint64_t(reach) * reach;
    const bool colourWithin = distSq <= reachSq;
    if (hint == 0 || hint > reach || (colourWithin && uint64_t(hint) * hint > distSq)) return {};
    SScan s(x, y, width, height, hint, reach, distSq);
    const uint64_t stopSq = s.stopSq;
    s.pos = s.weighed = StartOf(hint);
    s.ringsFrom = s.pos.ring;
    TakeFromEarlier(s);
    const SRingSlot* walking = nullptr;  // the ring the walk holds
    for (;;) {
        if (!walking || walking->ring != s.pos.ring) walking = &rings_.Made(s.pos.ring);
        const SOffsetGroup g = walking->groups[s.pos.index];
        if (g.distSq > stopSq) break;
        if (s.walkFirst == 0 && !Before(s.pos, s.weighed) && StepOver(s, g)) continue;
        if (s.walkFirst > 0) --s.walkFirst;
        s.previous = g;
        if (colourWithin && g.distSq == distSq) {
            if (const auto found = ColourGroup(s, g, colours)) return *found;
        } else {
            // Black wherever it lies inside: only which offsets lie inside
            // matters, one bit each in search order.
            int count = 0;
            const uint32_t inside = InsideMask(g, s.margin, count);
            const int head = inside ? std::countr_zero(inside) : count;
            if (s.outside + head >= kMaxOutOfBounds)
                return Ended(s, SReplayedScan::EEnd::GaveUp, g, kMaxOutOfBounds - 1 - s.outside);
            if (!inside) {
                s.outside += count;
            } else {
                s.lastGroup = g;
                s.lastIndex = 31 - std::countl_zero(inside);
                s.outside = count - 1 - s.lastIndex;
            }
        }
        s.pos = s.pos.index + 1 < walking->groups.size() ? SRingPos{s.pos.ring, s.pos.index + 1}
                                                         : SRingPos{s.pos.ring + 1, 0};
    }
    // Every group within the colour's distance walked without meeting it:
    // the distance does not match the image.
    if (colourWithin) return {};
    SReplayedScan result;
    result.end = SReplayedScan::EEnd::TooDeep;
    result.hint = scan_shortcut::HintLeft(x, width, hint, reach, reach);
    result.lastDistSq = reachSq;
    return result;
}

// The first group of distance hint², the ring's axis group but where the
// axis comes last.
SRingPos CScanReplay::StartOf(uint32_t hint) {
    const uint64_t hintSq = uint64_t(hint) * hint;
    return AxisComesLast(hintSq) ? rings_.FirstAbove(hintSq - 1) : SRingPos{hint, rings_.Made(hint).axis};
}

void CScanReplay::TakeFromEarlier(SScan& s) {
    // The last place a scan resumed at, where every offset before it that
    // lay inside for that scan lies inside for this one too.
    bool resumes = resumed_.hint && resumed_.hint <= s.hint && resumed_.resumeDistSq <= s.limitSq &&
                   Before(s.pos, resumed_.resume);
    for (int side = 0; side < 4 && resumes; ++side)
        resumes = s.margin[side] >= std::min<int64_t>(resumed_.margin[side], resumed_.resume.ring);
    if (!resumes) return;
    s.pos = s.weighed = resumed_.resume;
    s.walkFirst = 1 + kWalkedAtAnEnd;
}

void CScanReplay::Prepare(SScan& s) {
    const uint32_t endRing = (s.colourWithin ? IntSqrt(s.limitSq) : s.reach) + 1;
    s.lastWholeRing = std::min(endRing - 1, kMaxOrderRing - 1);
    s.stretches.emplace(rings_, s.margin, s.limitSq, endRing);
    skip_.Begin(s.lastWholeRing);
}

// Steps over the groups from s.pos that a pairing or the classes of whole
// rings vouch for, resuming one group before the first they cannot. False
// where that is no step forward: the scan then walks a few groups.
bool CScanReplay::StepOver(SScan& s, const SOffsetGroup& g) {
    if (!s.stretches) Prepare(s);
    SRingPos best = s.stretches->Farthest(s.pos, g, s.previous, s.outside > 0);
    // Where the pairings end within the ring, the classes may reach further.
    if (best.ring == s.pos.ring && s.pos.ring >= s.ringsFrom && s.pos.ring <= s.lastWholeRing) {
        uint32_t stopRing = 0;
        const SRingPos end = skip_.Skip(s.pos, s.outside, s.lastWholeRing, s.margin, stopRing);
        s.ringsFrom = stopRing + 1;
        if (Before(best, end)) best = end;
    }
    s.weighed = best;
    const SRingPos resume = rings_.Back(best, 1);
    if (!Before(s.pos, resume)) {
        s.walkFirst = kWalkedAtAnEnd;
        return false;
    }
    s.pos = resume;
    s.outside = 0;
    s.walkFirst = 1 + kWalkedAtAnEnd;
    resumed_.hint = s.hint;
    std::copy(std::begin(s.margin), std::end(s.margin), resumed_.margin);
    resumed_.resume = resume;
    resumed_.resumeDistSq = rings_.At(resume).distSq;
    return true;
}

// The colour's own distance, offset by offset.
std::optional<SReplayedScan> CScanReplay::ColourGroup(SScan& s, const SOffsetGroup& g,
                                                      SReplayColours& colours) {
    int32_t offsets[8][2];
    const int count = GroupOffsets(g, offsets);
    for (int i = 0; i < count; ++i) {
        const int32_t dx = offsets[i][0], dy = offsets[i][1];
        if (-dx <= s.margin[kLeft] && dx <= s.margin[kRight] && -dy <= s.margin[kTop] &&
            dy <= s.margin[kBottom]) {
            if (colours.IsColour(dx, dy)) return Ended(s, SReplayedScan::EEnd::Found, g, i);
            s.outside = 0;
            s.lastGroup = g;
            s.lastIndex = i;
        } else if (++s.outside == kMaxOutOfBounds) {
            return Ended(s, SReplayedScan::EEnd::GaveUp, g, i);
        }
    }
    return std::nullopt;
}

// The scan ended at offset `position` of g: found there, or given up with
// the last offset read inside. Made whole here rather than copied field by
// field, which would read back stores still on their way to memory.
SReplayedScan CScanReplay::Ended(const SScan& s, SReplayedScan::EEnd end, const SOffsetGroup& g,
                                 int position) const {
    SReplayedScan scan;
    scan.end = end;
    const bool found = end == SReplayedScan::EEnd::Found;
    if (found || s.lastIndex >= 0) {
        int32_t offsets[8][2];
        GroupOffsets(found ? g : s.lastGroup, offsets);
        const int index = found ? position : s.lastIndex;
        scan.dx = offsets[index][0], scan.dy = offsets[index][1];
    }
    scan.hint = scan_shortcut::HintAfter(s.x, s.width, s.hint, RootInRing(g.distSq, s.pos.ring), g.k,
                                         g.distSq, position);
    scan.lastDistSq = g.distSq;
    return scan;
}
