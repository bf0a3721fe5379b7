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

class CPixelDistance {
public:
    CPixelDistance();
    virtual ~CPixelDistance() = default;

    void SetCentre(int32_t x, int32_t y, int32_t width, int32_t height);
    void AddRing();
    bool FirstCandidate(uint32_t hint, int32_t& dx, int32_t& dy);
    bool NextCandidate(int32_t& dx, int32_t& dy);

    int32_t minDy = 0;
    int32_t minDx = 0;
    int32_t maxDy = 0;
    int32_t maxDx = 0;
    uint16_t ringCount = 0;
    uint16_t maxRings = kDefaultMaxRings;
    uint32_t radiusSq = 0;
    std::vector<_SPixelOffset> offsets;
    std::size_t cursor = 0;
    bool exhausted = false;
};
