#include "engine/fastpath/RingStore.h"

#include <algorithm>

namespace {

// The largest of each `size` entries of `values`.
std::vector<uint16_t> MaximaOf(const std::vector<uint16_t>& values, size_t size) {
    std::vector<uint16_t> maxima((values.size() + size - 1) / size);
    for (size_t i = 0; i < maxima.size(); ++i) {
        const auto first = values.begin() + std::ptrdiff_t(i * size);
        maxima[i] =
            *std::max_element(first, first + std::ptrdiff_t(std::min(size, values.size() - i * size)));
    }
    return maxima;
}

}  // namespace

// Beyond the kept rings, neighbouring rings fall in different slots, so
// the rings a scan walks and looks ahead through stay together.
const SRingSlot& CRingStore::Make(uint32_t ring) {
    SRingSlot& slot = Slot(ring);
    if (slot.ring == ring) return slot;
    const uint64_t lo = uint64_t(ring - 1) * (ring - 1);
    slot.groups.clear();
    AppendGroupsBetween(lo, uint64_t(ring) * ring, slot.groups);
    const size_t size = slot.groups.size();
    const SOffsetGroup* groups = slot.groups.data();
    std::vector<uint16_t> b(size), k(size);
    for (size_t i = 0; i < size; ++i) b[i] = groups[i].b, k[i] = groups[i].k;
    slot.blockB = MaximaOf(b, kBlock);
    slot.blockK = MaximaOf(k, kBlock);
    slot.wideB = MaximaOf(slot.blockB, kWideBlock / kBlock);
    slot.wideK = MaximaOf(slot.blockK, kWideBlock / kBlock);
    slot.byDistance.resize(size_t(2 * (ring - 1) / kDistanceStep) + 1);
    size_t i = 0;
    for (size_t step = 0; step < slot.byDistance.size(); ++step) {
        const uint64_t bound = lo + kDistanceStep * step;
        while (i < size && groups[i].distSq <= bound) ++i;
        slot.byDistance[step] = uint16_t(i);
    }
    // Among the groups of distance ring², last where the axis comes last.
    const uint64_t axisSq = uint64_t(ring) * ring;
    slot.axis = slot.byDistance[size_t((axisSq - 1 - lo) / kDistanceStep)];
    while (groups[slot.axis].distSq < axisSq || groups[slot.axis].k != 0) ++slot.axis;
    slot.ring = ring;
    if (ring <= kKeptRings) {
        if (keptRings_.empty()) keptRings_.resize(kKeptRings + 1);
        keptRings_[ring] = {slot.groups.data(), slot.byDistance.data(), uint32_t(size)};
    }
    return slot;
}

CRingStore::SKeptRing CRingStore::Lookup(uint32_t ring) {
    if (ring <= kKeptRings && ring < keptRings_.size() && keptRings_[ring].groups) return keptRings_[ring];
    const SRingSlot& slot = Made(ring);
    return {slot.groups.data(), slot.byDistance.data(), uint32_t(slot.groups.size())};
}

uint32_t CRingStore::IndexAbove(const SKeptRing& found, uint32_t ring, uint64_t distSq) {
    const uint64_t lo = uint64_t(ring - 1) * (ring - 1);
    uint32_t index = found.byDistance[size_t((distSq - lo) / kDistanceStep)];
    while (index < found.size && found.groups[index].distSq <= distSq) ++index;
    return index;
}

// The first group past distSq lies in the ring that holds distSq + 1.
SRingPos CRingStore::FirstAbove(uint64_t distSq) {
    const uint32_t ring = RingOf(distSq + 1);
    return {ring, IndexAbove(Lookup(ring), ring, distSq)};
}

std::span<const SOffsetGroup> CRingStore::GroupsAt(uint64_t distSq) {
    const uint32_t ring = RingOf(distSq);
    const SKeptRing found = Lookup(ring);
    const uint32_t first = IndexAbove(found, ring, distSq - 1);
    uint32_t end = first;
    while (end < found.size && found.groups[end].distSq == distSq) ++end;
    return {found.groups + first, end - first};
}

SRingPos CRingStore::Back(SRingPos pos, int groups) {
    for (; groups > 0; --groups) {
        if (pos.index > 0)
            --pos.index;
        else if (pos.ring > 1)
            pos = {pos.ring - 1, uint32_t(Ring(pos.ring - 1).size() - 1)};
    }
    return pos;
}
