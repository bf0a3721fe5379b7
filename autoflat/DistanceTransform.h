// Exact Euclidean distance transform: for every pixel the squared distance
// to the nearest source pixel, in linear time (a column sweep, then the lower
// envelope of parabolas along each row).
#pragma once

#include <cstdint>

#include "autoflat/RunControl.h"

namespace autoflat {

// No source pixel in reach: larger than any squared distance in a page.
constexpr uint32_t kFarAway = UINT32_MAX;

// The sources are the pixels whose label is `label` (or, with `invert`, every
// other pixel). `out` receives width * height squared distances, capped at
// kFarAway.
// `done` hears of the work as it goes, a pixel a unit, two a pixel in all.
void SquaredDistances(int32_t width, int32_t height, const uint32_t* labels, uint32_t label, bool invert,
                      uint32_t* out, int workers, const FWorkDone& done = {});

}  // namespace autoflat
