// Candidate offsets around a black pixel in order of increasing distance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct _SPixelOffset {
    uint32_t distSq;
    int16_t dx;
    int16_t dy;
};

constexpr uint16_t kDefaultMaxRings = 256;
constexpr uint16_t kPrebuiltRings = 10;
constexpr int kMaxOutOfBounds = 8;

// The most entries one table may hold: 32 MiB, reached at ring 1155. The
// depth comes unchecked from scripting and an all-black page can drive a
// search out to its own size, which would be gigabytes per worker (and every
// worker has a table). Past this point growth fails as an allocation failure
// does, so the run ends with the host's error result instead of exhausting
// the machine; every depth up to 1155 is always honoured.
constexpr std::size_t kMaxOffsetEntries = std::size_t(1) << 22;

class CPixelDistance {
public:
    CPixelDistance();
    virtual ~CPixelDistance();

    void SetCentre(int32_t x, int32_t y, int32_t width, int32_t height);
    void AddRing();
    bool FirstCandidate(uint32_t hint, int32_t& dx, int32_t& dy);
    bool NextCandidate(int32_t& dx, int32_t& dy);

    // Stops growth at the rings that can still matter in a width x height
    // image when the caller keeps the hint below the image width, as the
    // flatting pass does. The limit never changes a result of such a caller
    // (see the .cpp); it makes the bound on the table explicit.
    void LimitGrowthToImage(int32_t width, int32_t height);

    int32_t minDy = 0;
    int32_t minDx = 0;
    int32_t maxDy = 0;
    int32_t maxDx = 0;
    uint16_t ringCount = 0;
    uint16_t maxRings = kDefaultMaxRings;
    uint32_t radiusSq = 0;
    // Every offset with distSq <= radiusSq, in search order. The outer
    // corners of the last ring (up to 2 * radiusSq) are not stored yet: they
    // are made, in their place, with the ring that completes their distance.
    // So the end of `offsets` is exactly where a scan passes radiusSq, and
    // entries are only ever appended.
    std::vector<_SPixelOffset> offsets;
    std::size_t cursor = 0;
    bool exhausted = false;
    uint16_t imageRingLimit = UINT16_MAX;

private:
    bool Scan(int32_t& dx, int32_t& dy);
    bool OuterCornersReach(uint64_t distSq) const;
};
