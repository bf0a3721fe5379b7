// Exact Euclidean distance transform: for every pixel the squared distance
// to the nearest source pixel, in linear time (a column sweep, then the lower
// envelope of parabolas along each row).
#pragma once

#include <cstdint>
#include <functional>

namespace autoflat {

// No source pixel in reach: larger than any squared distance in a page.
constexpr uint32_t kFarAway = UINT32_MAX;

// `isSource(index)` tells whether pixel index = y * width + x is a source;
// it is called from several workers at once and must only read. `out`
// receives width * height squared distances, capped at kFarAway.
void SquaredDistances(int32_t width, int32_t height, const std::function<bool(int64_t)>& isSource,
                      uint32_t* out, int workers);

}  // namespace autoflat
