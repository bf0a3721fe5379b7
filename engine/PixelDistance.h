// Candidate offsets around a black pixel in order of increasing distance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/OffsetOrder.h"

constexpr uint16_t kDefaultMaxRings = 256;
constexpr uint16_t kPrebuiltRings = 10;
constexpr int kMaxOutOfBounds = 8;

// The rings out to the table's budget are read from a table that searches
// may share (every worker of a pass reads one); rings beyond it are made a
// ring at a time as a scan reaches them, and the last two are kept, which is
// where the searches of neighbouring pixels start again. So every depth up
// to 65535 is honoured, and a search costs, beyond the shared table, two
// rings of entries (about 100 bytes per unit of radius) whatever the depth.
class CPixelDistance {
public:
    // A search with a table of its own.
    CPixelDistance();
    // A search reading `table`, which other searches may read and grow too.
    explicit CPixelDistance(std::shared_ptr<COffsetTable> table);
    virtual ~CPixelDistance();
    // The cursor points into the object's own rings.
    CPixelDistance(const CPixelDistance&) = delete;
    CPixelDistance& operator=(const CPixelDistance&) = delete;

    void SetCentre(int32_t x, int32_t y, int32_t width, int32_t height);
    void AddRing();
    bool FirstCandidate(uint32_t hint, int32_t& dx, int32_t& dy);
    bool NextCandidate(int32_t& dx, int32_t& dy);

    // Stops growth at the rings that can still matter in a width x height
    // image when the caller keeps the hint below the image width, as the
    // flatting pass does. The limit never changes a result of such a caller
    // (see the .cpp); it makes the bound on the search explicit.
    void LimitGrowthToImage(int32_t width, int32_t height);

    // The distance² of the last offset a scan took since FirstCandidate, or
    // 0 when it took none.
    uint32_t LastTakenDistSq() const;
    // Every offset with distSq <= radiusSq, in search order (for tests).
    std::vector<_SPixelOffset> Entries() const;
    // Memory of this search beyond the shared table.
    size_t OwnBytes() const;
    const COffsetTable& Table() const { return *table_; }

    int32_t minDy = 0;
    int32_t minDx = 0;
    int32_t maxDy = 0;
    int32_t maxDx = 0;
    uint16_t ringCount = 0;
    uint16_t maxRings = kDefaultMaxRings;
    uint32_t radiusSq = 0;
    bool exhausted = false;
    uint16_t imageRingLimit = UINT16_MAX;

private:
    bool Scan(int32_t& dx, int32_t& dy);
    void PlaceAtHint(uint32_t hint);
    bool NextSpan();
    void PlaceInTable(uint64_t index);
    void PlaceInRing(uint32_t ring, size_t index);
    const std::vector<_SPixelOffset>& RingEntries(uint32_t ring);
    bool OuterCornersReach(uint64_t distSq) const;

    std::shared_ptr<COffsetTable> table_;
    // The cursor: the run of entries the scan takes next, and where its end
    // lies in the order, a table index or the last entry of a ring.
    const _SPixelOffset* next_ = nullptr;
    const _SPixelOffset* end_ = nullptr;
    const _SPixelOffset* spanBegin_ = nullptr;
    bool inTable_ = true;
    uint64_t endIndex_ = 0;
    uint32_t endRing_ = 0;
    uint32_t lastTakenDistSq_ = 0;
    // The two rings beyond the table used last, by age: held so that the
    // table's cache may let them go while the scan walks them.
    struct SRing {
        uint32_t ring = 0;
        COffsetTable::CRing entries;
    };
    SRing rings_[2];
    int newerRing_ = 0;
};
