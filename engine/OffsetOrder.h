// The order in which a search takes the offsets around a pixel, made in
// pieces: any range of distances on its own, and a table of the nearest
// rings that every search of a pass reads.
#pragma once

#include <atomic>
#include <map>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

struct _SPixelOffset {
    uint32_t distSq;
    int16_t dx;
    int16_t dy;
};

// No image a host can describe is wider or taller than 32767 pixels, and a
// search of such an image stops at the latest among the offsets (±1, ±32767)
// (see LimitGrowthToImage), so no search needs a ring beyond this one.
// Offsets are held in 16 bits: 32768 is held as 32767, outside every image.
constexpr uint32_t kMaxOrderRing = 32768;

// Appends, in search order, every offset with lo < distSq <= hi. Any range
// gives the same entries in the same places as the whole order cut there,
// since ties never cross a distance. Throws std::length_error for offsets
// past kMaxOrderRing: a search unlimited by an image would need them.
void AppendOffsetsBetween(uint64_t lo, uint64_t hi, std::vector<_SPixelOffset>& out);

// One group of the order: the offsets (±k, ±b) and (±b, ±k), 0 <= k <= b,
// which share the distance² k² + b² and the ring b and always come
// together: four offsets when k is 0 or b, else eight.
struct SOffsetGroup {
    uint32_t distSq;
    uint16_t k;
    uint16_t b;
};

// Appends, in search order, every group with lo < distSq <= hi: the groups
// behind AppendOffsetsBetween's offsets. Same limits.
void AppendGroupsBetween(uint64_t lo, uint64_t hi, std::vector<SOffsetGroup>& out);

// The group's offsets in search order (counter-clockwise on the screen from
// straight down); returns how many (4 or 8).
int GroupOffsets(const SOffsetGroup& group, int32_t (&offsets)[8][2]);

// How many offsets but (0, 0) lie within distance² ring²: where that ring
// ends in the order.
uint64_t OffsetsWithinRing(uint32_t ring);

// The order out to a fixed number of rings, grown a ring at a time when a
// search first needs it and never changed afterwards, so that any number of
// searches on any threads read one copy. Growth takes a lock; reading takes
// none: a ring's entries are written before the ring count that makes them
// visible.
constexpr uint64_t kDefaultTableEntries = uint64_t(1) << 22;  // 32 MiB, out to ring 1155

// Test seam: the budget of every table made without one (the passes make
// theirs so), so that small pages can reach past it. The plug-in leaves it
// at kDefaultTableEntries.
extern uint64_t gOffsetTableEntries;

class COffsetTable {
public:
    explicit COffsetTable(uint64_t entryBudget = gOffsetTableEntries);
    COffsetTable(const COffsetTable&) = delete;
    COffsetTable& operator=(const COffsetTable&) = delete;

    // The most rings the table will hold; searches stream the rest.
    uint32_t RingBudget() const { return ringBudget_; }
    uint32_t Rings() const { return rings_.load(std::memory_order_acquire); }
    // Makes rings 1 .. ring present (ring <= RingBudget()). Strong guarantee:
    // on an allocation failure the table still holds what it held.
    void Grow(uint32_t ring);

    // For ring <= Rings(): entries with distSq <= ring².
    uint64_t RingEnd(uint32_t ring) const { return ringEnds_[ring]; }
    // For index < RingEnd(Rings()).
    const _SPixelOffset* Entry(uint64_t index) const {
        return chunks_[size_t(index >> kChunkBits)].get() + (index & kChunkMask);
    }
    // The end of the contiguous run of entries that `index` starts.
    uint64_t ChunkEnd(uint64_t index) const { return (index | kChunkMask) + 1; }
    // For ring <= Rings(): the first entry at distance ring², where a scan
    // from that hint starts (the ring's last distance, its axis among it).
    uint64_t AxisStart(uint32_t ring) const { return axisStarts_[ring]; }

    // The entries of a ring beyond the budget, made on first use and kept,
    // with the others most recently asked for, up to the budget of the
    // table itself; searches on any thread share them. A search holds on to
    // the rings it is walking, so a ring let go here lives on while used.
    using CRing = std::shared_ptr<const std::vector<_SPixelOffset>>;
    CRing StreamedRing(uint32_t ring);

    size_t BytesHeld() const;

private:
    static constexpr unsigned kChunkBits = 16;
    static constexpr uint64_t kChunkMask = (uint64_t(1) << kChunkBits) - 1;

    uint32_t ringBudget_;
    std::vector<uint64_t> ringEnds_;    // sized for the budget from the start: never moves
    std::vector<uint64_t> axisStarts_;  // likewise
    std::vector<std::unique_ptr<_SPixelOffset[]>> chunks_;  // likewise
    std::atomic<uint32_t> rings_{0};
    std::mutex growing_;

    uint64_t entryBudget_;
    std::mutex streaming_;
    std::map<uint32_t, std::pair<CRing, uint64_t>> streamed_;  // ring: entries, last use
    uint64_t streamedEntries_ = 0;
    uint64_t uses_ = 0;
};
