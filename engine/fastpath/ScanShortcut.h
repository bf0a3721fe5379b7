// What a pixel's nearest-colour scan will do, worked out without walking it,
// once the squared distance to the pixel's nearest colour is known: where no
// two opposite edges are in reach (rule 2 at the top of FastPathStrips.h),
// or one pairing of a side with the edge next to it keeps every group out to
// that distance inside (rule 3), the scan's answer is the first colour among
// the offsets of that distance (rule 4), its hint the last offset on the
// pixel's own row inside the image between the start and the answer (rule 8).
#pragma once

#include <algorithm>
#include <bit>
#include <concepts>
#include <cstdint>
#include <iterator>
#include <vector>

#include "engine/IntegerRoot.h"
#include "engine/OffsetOrder.h"
#include "engine/fastpath/GroupClasses.h"
#include "engine/fastpath/RingFacts.h"

namespace scan_shortcut {

using ::IntSqrt;
using ::IntSqrtNear;

// Whether every group out to distance² distSq (b up to bMax, its root, and
// 2k² up to distSq) meets one pairing of a side with the edge next to it:
// then no scan that goes no further gives up, however far across the image
// it reaches. A margin m bounds every such k when 2(m + 1)² > distSq.
inline bool OnePairingHolds(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t bMax,
                            uint64_t distSq) {
    int64_t margin[4];
    MarginsOf(x, y, width, height, margin);
    for (const auto& pairing : kEdgePairings) {
        const int64_t other = margin[pairing[1]] + 1;
        if (margin[pairing[0]] >= bMax && uint64_t(2 * other * other) > distSq) return true;
    }
    return false;
}

// Offsets of a scan that never goes past ring `ring` can leave the image on
// at most two neighbouring sides (left and top, say) unless the ring reaches
// past both the left and the right edge, or past both the top and the bottom.
// Against two neighbouring sides no eight offsets in a row lie outside.
inline bool GiveUpImpossible(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t ring) {
    const int64_t r = ring;
    const bool acrossRow = r > x && r > int64_t(width) - 1 - x;
    const bool acrossColumn = r > y && r > int64_t(height) - 1 - y;
    return !acrossRow && !acrossColumn;
}

// The hint a scan leaves: the ring of the last offset (±a, 0) it examined
// inside the image. It examined (a, 0) for the rings hint .. plusLast and
// (-a, 0) for hint .. minusLast; inside the image means a <= width - 1 - x
// on the right and a <= x on the left. Larger rings come later, so the last
// is the largest. Without one the hint stays where the scan started.
inline uint32_t HintLeft(int32_t x, int32_t width, uint32_t hint, uint32_t plusLast, uint32_t minusLast) {
    uint32_t best = 0;
    const uint32_t right = std::min<uint32_t>(plusLast, uint32_t(width - 1 - x));
    if (right >= hint) best = right;
    const uint32_t left = std::min<uint32_t>(minusLast, uint32_t(x));
    if (left >= hint) best = std::max(best, left);
    return best ? best : hint;
}

// The hint a scan from `hint` leaves that ended at offset `position` of the
// group (k, root) or (k, b) at distance² distSq, root being that distance
// rounded down. It examined the axis of every ring below root whole; the
// axis group of ring root lies at root² itself, and there the scan examined
// (root, 0) and (-root, 0) (positions 1 and 3) only if it got that far, and
// not at all where the axis comes last.
inline uint32_t HintAfter(int32_t x, int32_t width, uint32_t hint, uint32_t root, uint32_t k, uint64_t distSq,
                          int position) {
    uint32_t plusLast = root, minusLast = root;
    if (uint64_t(root) * root == distSq) {
        if (k == 0) {
            plusLast = position >= 1 ? root : root - 1;
            minusLast = position >= 3 ? root : root - 1;
        } else if (AxisComesLast(distSq)) {
            plusLast = minusLast = root - 1;
        }
    }
    return HintLeft(x, width, hint, plusLast, minusLast);
}

// For each n up to a limit, every way to write n as k² + a² with
// 0 <= k <= a, smallest k first: the groups of offsets at distance² n in
// search order, found without trying every k.
class CSquareSums {
public:
    struct SPair {
        uint16_t k, a;
    };
    explicit CSquareSums(uint32_t limit) : limit_(limit), starts_(size_t(limit) + 2, 0) {
        for (uint64_t k = 0; 2 * k * k <= limit; ++k)
            for (uint64_t a = k; k * k + a * a <= limit; ++a) ++starts_[size_t(k * k + a * a) + 1];
        for (size_t n = 1; n < starts_.size(); ++n) starts_[n] += starts_[n - 1];
        pairs_.resize(starts_.back());
        std::vector<uint32_t> next(starts_.begin(), starts_.end() - 1);
        // k ascending within each n, because k is the outer loop.
        for (uint64_t k = 0; 2 * k * k <= limit; ++k)
            for (uint64_t a = k; k * k + a * a <= limit; ++a)
                pairs_[next[size_t(k * k + a * a)]++] = {uint16_t(k), uint16_t(a)};
    }
    uint32_t Limit() const { return limit_; }
    const SPair* Begin(uint32_t n) const { return pairs_.data() + starts_[n]; }
    const SPair* End(uint32_t n) const { return pairs_.data() + starts_[size_t(n) + 1]; }

private:
    uint32_t limit_;
    std::vector<uint32_t> starts_;
    std::vector<SPair> pairs_;
};

enum class EOutcome { Unproven, Found, TooDeep };

struct SOutcome {
    EOutcome outcome = EOutcome::Unproven;
    int32_t dx = 0, dy = 0;  // the colour, when found
    uint32_t hint = 0;       // what the scan leaves in hintDistance
    uint32_t side = 0;       // the distance, rounded down, when found
};

// Where a colour may be. `IsColour` (cx, cy) answers for a pixel inside
// the image; `ColumnMayHold` (cx, rows) may rule out, from column cx alone,
// a colour `rows` rows above or below the pixel (it must say true when
// unsure), and must rule out every column outside the image. `GroupsOf`
// (distSq) lists the groups of a distance past the table of square sums in
// search order: the order's own rings, which the caller keeps at hand, find
// them at once where working them out would try some 0.3·d values.
template <typename T>
concept ColourOracle = requires(T& t, int32_t c, uint32_t r, uint64_t distSq) {
    { t.IsColour(c, c) } -> std::convertible_to<bool>;
    { t.ColumnMayHold(c, r) } -> std::convertible_to<bool>;
    { *std::begin(t.GroupsOf(distSq)) } -> std::convertible_to<const SOffsetGroup&>;
};

// One group of offsets at one distance: (±k, ±a) and (±a, ±k), in search order
// (counter-clockwise on the screen from straight down). `index` tells the
// caller which of the group's offsets answered. The group's offsets lie in
// four columns, which are asked first, so that a group without a colour
// costs four questions about the pixel's own row.
template <ColourOracle Oracle>
bool FirstColourInGroup(int32_t k, int32_t a, int32_t x, int32_t y, int32_t width, int32_t height,
                        Oracle& oracle, int32_t& dx, int32_t& dy, int& index) {
    // Which offsets may hold a colour, as one bit each in search order: the
    // column test and the image's top and bottom. The columns lie outside
    // the image exactly when the oracle rules them out.
    const uint32_t kRight = oracle.ColumnMayHold(x + k, uint32_t(a)),
                   kLeft = oracle.ColumnMayHold(x - k, uint32_t(a));
    const uint32_t aRight = oracle.ColumnMayHold(x + a, uint32_t(k)),
                   aLeft = oracle.ColumnMayHold(x - a, uint32_t(k));
    const uint32_t belowA = y + a < height, belowK = y + k < height, aboveK = y - k >= 0, aboveA = y - a >= 0;
    uint32_t may;
    int32_t order[8][2];
    if (k == 0) {
        may = (kRight & belowA) | (aRight << 1) | ((kRight & aboveA) << 2) | (aLeft << 3);
        const int32_t g[4][2] = {{0, a}, {a, 0}, {0, -a}, {-a, 0}};
        std::copy(&g[0][0], &g[0][0] + 8, &order[0][0]);
    } else if (k == a) {
        may =
            (aRight & belowA) | ((aRight & aboveA) << 1) | ((aLeft & aboveA) << 2) | ((aLeft & belowA) << 3);
        const int32_t g[4][2] = {{a, a}, {a, -a}, {-a, -a}, {-a, a}};
        std::copy(&g[0][0], &g[0][0] + 8, &order[0][0]);
    } else {
        may = (kRight & belowA) | ((aRight & belowK) << 1) | ((aRight & aboveK) << 2) |
              ((kRight & aboveA) << 3) | ((kLeft & aboveA) << 4) | ((aLeft & aboveK) << 5) |
              ((aLeft & belowK) << 6) | ((kLeft & belowA) << 7);
        if (!may) return false;
        const int32_t g[8][2] = {{k, a}, {a, k}, {a, -k}, {k, -a}, {-k, -a}, {-a, -k}, {-a, k}, {-k, a}};
        std::copy(&g[0][0], &g[0][0] + 16, &order[0][0]);
    }
    (void)width;  // the oracle answers for the columns
    for (; may; may &= may - 1) {
        const int i = std::countr_zero(may);
        if (oracle.IsColour(x + order[i][0], y + order[i][1])) {
            dx = order[i][0], dy = order[i][1], index = i;
            return true;
        }
    }
    return false;
}

// The scan of a black pixel (x, y) that starts from hint G, worked out from
// distSq, the squared distance to the nearest colour in the image (anything
// above reach² meaning none within reach). `reach` is the radius the search
// covers before it reports too deep: the depth, and never less than the
// prebuilt rings. Unproven when the scan might give up at the image border
// or when the hint lies beyond the nearest colour; the caller then walks
// the scan itself.
template <ColourOracle Oracle>
SOutcome Shortcut(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t hint, uint64_t distSq,
                  uint32_t reach, Oracle& oracle, const CSquareSums* sums = nullptr, uint32_t rootGuess = 0) {
    SOutcome result;
    const uint64_t reachSq = uint64_t(reach) * reach;
    if (distSq > reachSq) {
        if (hint > reach) return result;
        if (!GiveUpImpossible(x, y, width, height, reach) &&
            !OnePairingHolds(x, y, width, height, reach, reachSq))
            return result;
        result.outcome = EOutcome::TooDeep;
        result.hint = HintLeft(x, width, hint, reach, reach);
        return result;
    }

    const uint32_t side = IntSqrtNear(distSq, rootGuess);  // no offset examined lies on a larger ring
    if (uint64_t(hint) * hint > distSq) return result;
    if (!GiveUpImpossible(x, y, width, height, side) && !OnePairingHolds(x, y, width, height, side, distSq))
        return result;

    // The groups of this distance, larger rings first: k grows as a shrinks.
    int32_t dx = 0, dy = 0, index = 0, kFound = -1;
    auto tryGroup = [&](int64_t k, int64_t a) {
        if (!FirstColourInGroup(int32_t(k), int32_t(a), x, y, width, height, oracle, dx, dy, index))
            return false;
        kFound = int32_t(k);
        return true;
    };
    if (AxisComesLast(distSq)) {
        if (!tryGroup(distSq == 25 ? 3 : 6, distSq == 25 ? 4 : 8)) tryGroup(0, side);
    } else if (sums && distSq <= sums->Limit()) {
        for (auto* p = sums->Begin(uint32_t(distSq)); p != sums->End(uint32_t(distSq)); ++p)
            if (tryGroup(p->k, p->a)) break;
    } else {
        for (const SOffsetGroup& g : oracle.GroupsOf(distSq))
            if (tryGroup(g.k, g.b)) break;
    }
    if (kFound < 0) return result;  // a distance that does not match the image: walk the scan

    result.outcome = EOutcome::Found;
    result.side = side;
    result.dx = dx;
    result.dy = dy;
    result.hint = HintAfter(x, width, hint, side, uint32_t(kFound), distSq, index);
    return result;
}

}  // namespace scan_shortcut
