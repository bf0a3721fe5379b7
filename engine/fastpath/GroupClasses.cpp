#include "engine/fastpath/GroupClasses.h"

#include <algorithm>
#include <bit>

#include "engine/fastpath/RingFacts.h"

namespace {

// Past every ring the order holds, squared without overflow.
constexpr int64_t kUnbounded = int64_t(1) << 20;

}  // namespace

CGroupClasses::CGroupClasses(const int64_t (&margin)[4], uint32_t firstRing, uint32_t lastRing) {
    std::copy(std::begin(margin), std::end(margin), margin_);
    int64_t sorted[4];
    std::copy(std::begin(margin), std::end(margin), sorted);
    auto order = [&](int a, int b) {
        if (sorted[b] < sorted[a]) std::swap(sorted[a], sorted[b]);
    };
    order(0, 1), order(2, 3), order(0, 2), order(1, 3), order(1, 2);
    cutCount_ = int(std::unique(sorted, sorted + 4) - sorted);
    std::copy(sorted, sorted + cutCount_, cuts_);

    // Range i of a coordinate: above cut i - 1, up to cut i.
    int64_t lows[5], highs[5];
    for (int i = 0; i <= cutCount_; ++i) {
        lows[i] = i == 0 ? 0 : cuts_[i - 1] + 1;
        highs[i] = i == cutCount_ ? kUnbounded : cuts_[i];
    }
    const uint64_t firstInner = uint64_t(firstRing - 1) * (firstRing - 1),
                   lastOuter = uint64_t(lastRing) * lastRing;
    uint32_t within[5];
    for (int i = 0; i <= cutCount_; ++i) within[i] = group_classes::WithinBits(lows[i], margin_);
    for (int i = 0; i <= cutCount_; ++i) {
        for (int j = i; j <= cutCount_; ++j) {
            // Groups of eight: 0 < k < b.
            const int64_t k1 = std::max<int64_t>(lows[i], 1), b2 = highs[j];
            const int64_t k2 = std::min(highs[i], b2 - 1), b1 = std::max(lows[j], k1 + 1);
            if (k1 > k2 || b1 > b2) continue;
            const auto nearSq = uint64_t(k1 * k1 + b1 * b1), farSq = uint64_t(k2 * k2 + b2 * b2);
            if (farSq <= firstInner || nearSq > lastOuter) continue;
            SClass& c = classes_[classCount_++];
            c.nearSq = nearSq;
            c.farSq = farSq;
            c.ends = GroupEnds(group_classes::kEightMasks.mask[within[i]][within[j]], 8);
        }
    }
}

// Square roots are slow next to the rest, and spans are often a ring long
// here, where the pixel's margins cut the rings; so the span's end is found
// among distances² and a root taken only where it could come first.
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
    // The axis group of ring r is (0, r); its diagonal group, where it has
    // one, is (b, b) with b = MaxKInRing(r). Each changes class where its b
    // passes a margin.
    span.axis = EndsOf(0, ring, margin_);
    const uint32_t b = MaxKInRing(ring);
    if (b > 0) span.diagonal = EndsOf(b, b, margin_);
    uint64_t end = b == 0 ? 2 : UINT32_MAX;
    uint64_t nextDiagonalSq = UINT64_MAX;
    for (int i = 0; i < cutCount_; ++i) {
        const uint64_t next = uint64_t(cuts_[i]) + 1;
        if (next > ring) end = std::min(end, next);
        if (2 * next * next > outer) nextDiagonalSq = std::min(nextDiagonalSq, 2 * next * next);
    }
    // RingOf(d) < end exactly when d <= (end - 1)².
    auto earlier = [&](uint64_t d) { return d != UINT64_MAX && d <= (end - 1) * (end - 1); };
    if (earlier(nextNear)) end = RingOf(nextNear);
    if (earlier(nextDiagonalSq)) end = RingOf(nextDiagonalSq);
    if (lastFar != UINT64_MAX && earlier(lastFar + 1))
        end = std::min<uint64_t>(end, uint64_t(RingOf(lastFar)) + 1);
    span.end = uint32_t(end);
    return span;
}
