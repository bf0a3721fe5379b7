#include "engine/fastpath/RingSkip.h"

#include <algorithm>

#include "engine/PixelDistance.h"

namespace {

bool IsEight(const SOffsetGroup& g) { return g.k != 0 && g.k != g.b; }

}  // namespace

void CRingSkip::Begin(uint32_t lastRing) {
    classes_.reset();
    SizeFor(lastRing);
}

// SizeFor sizes edges_ for every ring a scan may look at before it starts,
// so that no entry moves while a caller holds it.
const CRingSkip::SRingEdges& CRingSkip::Edges(uint32_t ring) {
    if (edges_[ring].size) return edges_[ring];
    const std::vector<SOffsetGroup>& groups = rings_.Ring(ring);
    SRingEdges edges;
    edges.size = uint32_t(groups.size());
    edges.first = groups.front();
    edges.last = groups.back();
    for (uint32_t i = 0; i < edges.size && edges.fourCount < 2; ++i) {
        if (IsEight(groups[i])) continue;
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

void CRingSkip::SizeFor(uint32_t lastRing) {
    if (edges_.size() >= size_t(lastRing) + 2) return;
    edges_.resize(size_t(lastRing) + 2);
}

// The groups of four are few, one or two a ring, and end worse than the
// others near an edge, so where their classes fail the span's test they
// are checked with their actual neighbours.
SRingPos CRingSkip::Skip(SRingPos from, int outside, uint32_t lastRing, const int64_t (&margin)[4],
                         uint32_t& stopRing) {
    stopRing = from.ring;
    const SGroupEnds entry = EndsOf(rings_.At(from), margin);
    if (entry.empty || outside + entry.head >= kMaxOutOfBounds) return from;
    // Made for the scan's rings the first time they are needed.
    if (!classes_) classes_.emplace(margin, from.ring, lastRing);
    int head = 0, tail = 0;
    uint32_t ring = from.ring;
    while (ring <= lastRing) {
        const SRingSpan span = classes_->SpanAt(ring);
        if (span.anyEmpty) break;
        head = std::max<int>(head, span.head);
        tail = std::max<int>(tail, span.tail);
        if (head + tail >= kMaxOutOfBounds) break;
        const uint32_t spanEnd = std::min<uint64_t>(span.end, uint64_t(lastRing) + 1);
        auto fits = [&](const SGroupEnds& four) {
            return !four.empty && four.head + tail < kMaxOutOfBounds && head + four.tail < kMaxOutOfBounds;
        };
        if (!fits(span.axis) || !fits(span.diagonal) ||
            span.axis.head + span.diagonal.tail >= kMaxOutOfBounds ||
            span.diagonal.head + span.axis.tail >= kMaxOutOfBounds) {
            if (const auto failing = FirstFourFailing(from, ring, spanEnd, span, head, tail, margin)) {
                stopRing = failing->ring;
                return *failing;
            }
            continue;
        }
        ring = spanEnd;
        if (ring > lastRing) break;
        // The ring's last group may be one of four that the next span's
        // classes were not weighed against.
        const SRingEdges& last = Edges(ring - 1);
        if (EndsOf(last.last, margin).tail + EndsOf(Edges(ring).first, margin).head >= kMaxOutOfBounds) {
            stopRing = ring - 1;
            return {ring - 1, last.size - 1};
        }
    }
    stopRing = ring;
    return ring == from.ring ? from : SRingPos{ring, 0};
}

// Within a span the ring's axis and diagonal keep their class, and a
// neighbour of eight offsets in the same ring belongs to one of the span's
// classes: its ends are within the span's.
std::optional<SRingPos> CRingSkip::FirstFourFailing(SRingPos from, uint32_t& ring, uint32_t spanEnd,
                                                    const SRingSpan& span, int head, int tail,
                                                    const int64_t (&margin)[4]) {
    for (; ring < spanEnd; ++ring) {
        const SRingEdges& edges = Edges(ring);
        const uint32_t first = ring == from.ring ? from.index : 0;
        for (int i = 0; i < edges.fourCount; ++i) {
            const SRingEdges::SFour& four = edges.fours[i];
            if (four.index < first) continue;
            const SGroupEnds own = four.group.k == 0 ? span.axis : span.diagonal;
            bool fails = own.empty;
            if (!fails && four.index > first &&
                !(four.hasBefore && IsEight(four.before) && tail + own.head < kMaxOutOfBounds)) {
                const SOffsetGroup before = four.hasBefore ? four.before : Edges(ring - 1).last;
                fails = EndsOf(before, margin).tail + own.head >= kMaxOutOfBounds;
            }
            if (!fails && !(four.hasAfter && IsEight(four.after) && own.tail + head < kMaxOutOfBounds)) {
                const SOffsetGroup after = four.hasAfter ? four.after : Edges(ring + 1).first;
                fails = own.tail + EndsOf(after, margin).head >= kMaxOutOfBounds;
            }
            if (fails) return SRingPos{ring, four.index};
        }
    }
    return std::nullopt;
}
