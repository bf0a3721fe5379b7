#include "engine/GroupClasses.h"

#include <algorithm>
#include <bit>

#include "engine/IntegerRoot.h"

namespace {

// Past every ring the order holds, squared without overflow.
constexpr int64_t kUnbounded = int64_t(1) << 20;

// Bit s: the coordinate lies within margin s.
uint32_t WithinBits(int64_t v, const int64_t (&margin)[4]) {
    return uint32_t(v <= margin[kRight]) | uint32_t(v <= margin[kTop]) << 1 |
           uint32_t(v <= margin[kLeft]) << 2 | uint32_t(v <= margin[kBottom]) << 3;
}

constexpr uint32_t Bit(uint32_t bits, ESide side) { return (bits >> side) & 1; }

// The inside mask of a group of eight from the sides its k and b lie within.
constexpr uint32_t EightMask(uint32_t k, uint32_t b) {
    const uint32_t kR = Bit(k, kRight), kT = Bit(k, kTop), kL = Bit(k, kLeft), kB = Bit(k, kBottom);
    const uint32_t bR = Bit(b, kRight), bT = Bit(b, kTop), bL = Bit(b, kLeft), bB = Bit(b, kBottom);
    return (kR & bB) | (bR & kB) << 1 | (bR & kT) << 2 | (kR & bT) << 3 | (kL & bT) << 4 | (bL & kT) << 5 |
           (bL & kB) << 6 | (kL & bB) << 7;
}

struct SEightMasks {
    uint8_t mask[16][16] = {};
    constexpr SEightMasks() {
        for (uint32_t k = 0; k < 16; ++k)
            for (uint32_t b = 0; b < 16; ++b) mask[k][b] = uint8_t(EightMask(k, b));
    }
};
constexpr SEightMasks kEightMasks;

uint32_t MaskOf(int64_t k, int64_t b, const int64_t (&margin)[4], int& count) {
    const uint32_t bBits = WithinBits(b, margin);
    if (k == 0) {
        count = 4;
        return Bit(bBits, kBottom) | Bit(bBits, kRight) << 1 | Bit(bBits, kTop) << 2 | Bit(bBits, kLeft) << 3;
    }
    if (k == b) {
        count = 4;
        const uint32_t bR = Bit(bBits, kRight), bT = Bit(bBits, kTop), bL = Bit(bBits, kLeft),
                       bB = Bit(bBits, kBottom);
        return (bR & bB) | (bR & bT) << 1 | (bL & bT) << 2 | (bL & bB) << 3;
    }
    count = 8;
    return kEightMasks.mask[WithinBits(k, margin)][bBits];
}

// The ring holding distance² d: the smallest r with r² >= d.
uint32_t RingOf(uint64_t d) {
    const uint32_t root = IntSqrt(d);
    return uint64_t(root) * root == d ? root : root + 1;
}

SGroupEnds EndsOf(int64_t k, int64_t b, const int64_t (&margin)[4]) {
    int count = 0;
    const uint32_t mask = MaskOf(k, b, margin, count);
    return GroupEnds(mask, count);
}

}  // namespace

uint32_t InsideMask(const SOffsetGroup& g, const int64_t (&margin)[4], int& count) {
    return MaskOf(g.k, g.b, margin, count);
}

CGroupClasses::CGroupClasses(const int64_t (&margin)[4]) {
    std::copy(std::begin(margin), std::end(margin), margin_);
    int64_t sorted[4];
    std::copy(std::begin(margin), std::end(margin), sorted);
    std::sort(sorted, sorted + 4);
    cutCount_ = int(std::unique(sorted, sorted + 4) - sorted);
    std::copy(sorted, sorted + cutCount_, cuts_);

    // Range i of a coordinate: above cut i - 1, up to cut i.
    auto low = [&](int i) { return i == 0 ? int64_t(0) : cuts_[i - 1] + 1; };
    auto high = [&](int i) { return i == cutCount_ ? kUnbounded : cuts_[i]; };
    uint32_t within[5];
    for (int i = 0; i <= cutCount_; ++i) within[i] = WithinBits(low(i), margin_);
    for (int i = 0; i <= cutCount_; ++i) {
        for (int j = i; j <= cutCount_; ++j) {
            // Groups of eight: 0 < k < b.
            const int64_t k1 = std::max<int64_t>(low(i), 1), b2 = high(j);
            const int64_t k2 = std::min(high(i), b2 - 1), b1 = std::max(low(j), k1 + 1);
            if (k1 > k2 || b1 > b2) continue;
            SClass& c = classes_[classCount_++];
            c.nearSq = uint64_t(k1 * k1 + b1 * b1);
            c.farSq = uint64_t(k2 * k2 + b2 * b2);
            c.ends = GroupEnds(kEightMasks.mask[within[i]][within[j]], 8);
        }
    }
}

// Square roots are slow next to the rest, so the span's end is found among
// distances² and the ring of the nearest taken once.
SRingSpan CGroupClasses::SpanAt(uint32_t ring) const {
    SRingSpan span;
    const uint64_t inner = uint64_t(ring - 1) * (ring - 1), outer = uint64_t(ring) * ring;
    uint64_t nextNear = UINT64_MAX, lastFar = UINT64_MAX;
    for (int i = 0; i < classCount_; ++i) {
        const SClass& c = classes_[i];
        if (c.nearSq > outer) {
            nextNear = std::min(nextNear, c.nearSq);
        } else if (c.farSq > inner) {
            lastFar = std::min(lastFar, c.farSq);
            span.anyEmpty |= c.ends.empty;
            span.head = std::max(span.head, c.ends.head);
            span.tail = std::max(span.tail, c.ends.tail);
        }
    }
    uint64_t end = UINT32_MAX;
    if (nextNear != UINT64_MAX) end = RingOf(nextNear);
    if (lastFar != UINT64_MAX) end = std::min<uint64_t>(end, uint64_t(RingOf(lastFar)) + 1);
    // The axis group of ring r is (0, r); its diagonal group, where it has
    // one, is (b, b) with b the largest such that 2b² <= r². Each changes
    // class where its b passes a margin.
    span.axis = EndsOf(0, ring, margin_);
    const uint32_t b = IntSqrt(outer / 2);
    if (b > 0) span.diagonal = EndsOf(b, b, margin_);
    uint64_t nextDiagonalSq = UINT64_MAX;
    for (int i = 0; i < cutCount_; ++i) {
        const uint64_t next = uint64_t(cuts_[i]) + 1;
        if (next > ring) end = std::min(end, next);
        if (2 * next * next > outer) nextDiagonalSq = std::min(nextDiagonalSq, 2 * next * next);
    }
    if (nextDiagonalSq != UINT64_MAX) end = std::min<uint64_t>(end, RingOf(nextDiagonalSq));
    if (b == 0) end = std::min<uint64_t>(end, 2);
    span.end = uint32_t(end);
    return span;
}
