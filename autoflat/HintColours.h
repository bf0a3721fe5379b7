// The colour each region's hints ask for.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "autoflat/PixelClasses.h"
#include "autoflat/RunControl.h"

namespace autoflat {

// For every label below labelCount: whether any hint pixel of `page` lies in
// it and, if so, its most frequent hint colour (the smaller colour value on a
// tie). Line pixels (kLine) hold no hints.
std::vector<std::pair<bool, SColour>> HintColours(const SPageView& page, const CPixelReader& reader,
                                                  const uint32_t* labels, uint32_t labelCount, int workers,
                                                  const FWorkDone& done = {});

}  // namespace autoflat
