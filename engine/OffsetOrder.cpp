#include "engine/OffsetOrder.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/IntegerRoot.h"

namespace {

// One group of entries that share a distance and a ring: the offsets
// (+-k, +-b) and (+-b, +-k) with 0 <= k <= b.
struct SGroup {
    uint32_t distSq;
    uint32_t rank;  // twice the ring, so the exceptions fit between rings
    int32_t k;
    int32_t b;
};

// Ring 32768 is the last a search of the largest image reaches, and only
// past its axis: stored as 32767, its offsets stay outside every image.
int16_t Stored(int32_t value) { return int16_t(std::clamp(value, -32768, 32767)); }

// Larger rings come first at a shared distance, except that the axis
// offsets of rings 5 and 10 follow the ring-4 and ring-8 offsets of the
// same distance (25 = 3² + 4², 100 = 6² + 8²). Those are the only rings
// built with every search whose axis distance is shared with a smaller
// ring, and the order is kept as the filter has always searched.
uint32_t Rank(uint32_t k, uint32_t b) {
    if (k == 0 && b == 5) return 2 * 4 - 1;
    if (k == 0 && b == 10) return 2 * 8 - 1;
    return 2 * b;
}

// Ranges of distances up to this wide are sorted by counting.
constexpr uint64_t kCountedSpan = uint64_t(1) << 20;

}  // namespace

int GroupOffsets(const SOffsetGroup& group, int32_t (&offsets)[8][2]) {
    const int32_t k = group.k, b = group.b;
    int count = 0;
    auto put = [&](int32_t dx, int32_t dy) { offsets[count][0] = dx, offsets[count][1] = dy, ++count; };
    if (k == 0) {
        put(0, b), put(b, 0), put(0, -b), put(-b, 0);
    } else if (k == b) {
        put(b, b), put(b, -b), put(-b, -b), put(-b, b);
    } else {
        put(k, b), put(b, k), put(b, -k), put(k, -b);
        put(-k, -b), put(-b, -k), put(-b, k), put(-k, b);
    }
    return count;
}

void AppendGroupsBetween(uint64_t lo, uint64_t hi, std::vector<SOffsetGroup>& out) {
    if (hi <= lo) return;
    if (hi > uint64_t(kMaxOrderRing) * kMaxOrderRing)
        throw std::length_error("offset beyond the largest image");
    // Each k from 0 up meets a band of b one or two wide, whose ends move
    // down as k rises: stepped, not rooted. At one distance a larger k is a
    // smaller b, so the groups of a distance come b falling, which is the
    // order of ties past the two exceptions (both below distance² 100).
    auto forEachGroup = [&](auto&& take) {
        uint64_t bHigh = IntSqrt(hi);     // the largest b with b² + k² <= hi
        uint64_t bLow = IntSqrt(lo) + 1;  // the least b with b² + k² > lo
        for (uint64_t k = 0; 2 * k * k <= hi; ++k) {
            const uint64_t kSq = k * k;
            while (bHigh * bHigh + kSq > hi) --bHigh;
            while (bLow > 0 && (bLow - 1) * (bLow - 1) + kSq > lo) --bLow;
            for (uint64_t b = std::max(bLow, k); b <= bHigh; ++b)
                take(uint32_t(b * b + kSq), uint32_t(k), uint32_t(b));
        }
    };
    if (lo < 100 || hi - lo > kCountedSpan) {
        std::vector<SGroup> groups;
        forEachGroup([&](uint32_t distSq, uint32_t k, uint32_t b) {
            groups.push_back({distSq, Rank(k, b), int32_t(k), int32_t(b)});
        });
        std::sort(groups.begin(), groups.end(), [](const SGroup& l, const SGroup& r) {
            return l.distSq != r.distSq ? l.distSq < r.distSq : l.rank > r.rank;
        });
        out.reserve(out.size() + groups.size());
        for (const SGroup& g : groups) out.push_back({g.distSq, uint16_t(g.k), uint16_t(g.b)});
        return;
    }
    // A ring spans only 2a - 1 distances, so a count per distance sorts it.
    std::vector<SOffsetGroup> found;
    found.reserve(size_t(hi - lo));
    std::vector<uint32_t> starts(size_t(hi - lo) + 1, 0);
    forEachGroup([&](uint32_t distSq, uint32_t k, uint32_t b) {
        found.push_back({distSq, uint16_t(k), uint16_t(b)});
        ++starts[size_t(distSq - lo)];
    });
    uint32_t total = 0;
    for (uint32_t& start : starts) {
        const uint32_t count = start;
        start = total;
        total += count;
    }
    const size_t base = out.size();
    out.resize(base + total);
    SOffsetGroup* placed = out.data() + base;
    for (const SOffsetGroup& g : found) placed[starts[size_t(g.distSq - lo)]++] = g;
}

void AppendOffsetsBetween(uint64_t lo, uint64_t hi, std::vector<_SPixelOffset>& out) {
    std::vector<SOffsetGroup> groups;
    AppendGroupsBetween(lo, hi, groups);
    int32_t offsets[8][2];
    for (const SOffsetGroup& g : groups) {
        const int count = GroupOffsets(g, offsets);
        for (int i = 0; i < count; ++i)
            out.push_back({g.distSq, Stored(offsets[i][0]), Stored(offsets[i][1])});
    }
}

uint64_t OffsetsWithinRing(uint32_t ring) {
    const uint64_t rSq = uint64_t(ring) * ring;
    uint64_t count = 0;
    for (uint32_t dx = 0; dx <= ring; ++dx) {
        const uint64_t column = 2 * uint64_t(IntSqrt(rSq - uint64_t(dx) * dx)) + 1;
        count += dx == 0 ? column : 2 * column;
    }
    return count - 1;
}

uint64_t gOffsetTableEntries = kDefaultTableEntries;

namespace {

uint32_t RingsWithin(uint64_t entryBudget) {
    uint32_t ring = 0;
    while (ring < kMaxOrderRing && OffsetsWithinRing(ring + 1) <= entryBudget) ++ring;
    return ring;
}

}  // namespace

COffsetTable::COffsetTable(uint64_t entryBudget) {
    // Every search of the plug-in asks for the default; it is worked out once.
    static const uint32_t defaultRings = RingsWithin(kDefaultTableEntries);
    const uint32_t ring = entryBudget == kDefaultTableEntries ? defaultRings : RingsWithin(entryBudget);
    ringBudget_ = ring;
    entryBudget_ = entryBudget;
    ringEnds_.assign(size_t(ring) + 1, 0);
    axisStarts_.assign(size_t(ring) + 1, 0);
    chunks_.resize(size_t((OffsetsWithinRing(ring) >> kChunkBits) + 1));
}

void COffsetTable::Grow(uint32_t ring) {
    ring = std::min(ring, ringBudget_);
    if (Rings() >= ring) return;
    std::lock_guard<std::mutex> lock(growing_);
    std::vector<_SPixelOffset> entries;
    for (uint32_t next = Rings() + 1; next <= ring; ++next) {
        entries.clear();
        AppendOffsetsBetween(uint64_t(next - 1) * (next - 1), uint64_t(next) * next, entries);
        uint64_t index = ringEnds_[next - 1];
        // Chunks first, so that a failure leaves no entry half-written.
        for (uint64_t c = index >> kChunkBits; c <= (index + entries.size() - 1) >> kChunkBits; ++c)
            if (!chunks_[size_t(c)]) chunks_[size_t(c)].reset(new _SPixelOffset[size_t(kChunkMask) + 1]);
        const uint64_t axisDistSq = uint64_t(next) * next;
        uint64_t axis = index;
        for (const _SPixelOffset& e : entries) {
            if (e.distSq < axisDistSq) ++axis;
            *const_cast<_SPixelOffset*>(Entry(index++)) = e;
        }
        axisStarts_[next] = axis;
        ringEnds_[next] = index;
        rings_.store(next, std::memory_order_release);
    }
}

COffsetTable::CRing COffsetTable::StreamedRing(uint32_t ring) {
    {
        std::lock_guard<std::mutex> lock(streaming_);
        if (auto found = streamed_.find(ring); found != streamed_.end()) {
            found->second.second = ++uses_;
            return found->second.first;
        }
    }
    // Made outside the lock: another search may make the same ring meanwhile,
    // and the one kept is as good as the other.
    auto entries = std::make_shared<std::vector<_SPixelOffset>>();
    AppendOffsetsBetween(uint64_t(ring - 1) * (ring - 1), uint64_t(ring) * ring, *entries);
    CRing made = std::move(entries);
    std::lock_guard<std::mutex> lock(streaming_);
    auto [at, added] = streamed_.try_emplace(ring, made, 0);
    at->second.second = ++uses_;
    if (!added) return at->second.first;
    streamedEntries_ += made->size();
    while (streamedEntries_ > entryBudget_ && streamed_.size() > 1) {
        auto oldest = streamed_.begin();
        for (auto it = streamed_.begin(); it != streamed_.end(); ++it)
            if (it->second.second < oldest->second.second) oldest = it;
        streamedEntries_ -= oldest->second.first->size();
        streamed_.erase(oldest);
    }
    return made;
}

size_t COffsetTable::BytesHeld() const {
    size_t chunks = 0;
    for (const auto& c : chunks_) chunks += c ? 1 : 0;
    return chunks * (size_t(kChunkMask) + 1) * sizeof(_SPixelOffset) +
           2 * ringEnds_.size() * sizeof(uint64_t);
}
