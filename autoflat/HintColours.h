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
//
// On the line art a hint must be clearly coloured (the reader's class). A
// hints page holds nothing but the colourist's word, so there every colour
// counts whatever its chroma, greys and pale colours too (a page's earlier
// flats used as hints): only transparent pixels, white paper (no ink) and
// what the flat filter calls black say nothing.
enum class EHintSource : uint8_t { LineArt, HintsPage };
std::vector<std::pair<bool, SColour>> HintColours(const SPageView& page, const CPixelReader& reader,
                                                  const uint32_t* labels, uint32_t labelCount, int workers,
                                                  const FWorkDone& done = {},
                                                  EHintSource source = EHintSource::LineArt);

}  // namespace autoflat
