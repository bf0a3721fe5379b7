// Colours carried over from a page's earlier flats, so that re-flatting
// revised line art keeps the colours a colourist already works with.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "autoflat/AutoFlats.h"

namespace autoflat {

// For each region of `regions` (one label a pixel, 0 .. regionCount - 1), the
// earlier colour it overlaps most. An earlier colour that several regions
// overlap stays with the one overlapping it most, as when a region was split
// in two: the other parts get colours of their own. Transparent and black
// pixels of the earlier flats say nothing.
std::vector<std::pair<bool, SColour>> EarlierColours(const SPageView& earlier, const uint32_t* regions,
                                                     uint32_t regionCount, int workers);

}  // namespace autoflat
