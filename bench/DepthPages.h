// Mostly black pages, the ones whose cost could grow with the depth: black
// everywhere but for a little colour in one of a few places. The benchmark
// times them at many depths and the tests hold them to the plain search.
#pragma once

#include <cstdint>
#include <string>

#include "sim/HostImage.h"

namespace bench {

enum class EDepthLayout {
    AllBlack,
    CornerPixel,  // one colour pixel at a corner
    NearCorner,   // a few colour pixels a little way in from a corner
    LastColumn,   // the last column in colour
    OneRow,       // one whole row in colour, anywhere
    OneColumn,    // one whole column in colour, anywhere
    Sparse,       // a handful of colour pixels anywhere
};
constexpr int kDepthLayouts = 7;

const char* LayoutName(EDepthLayout layout);

// An RGB page of `layout`; the seed picks the corner, row, column or
// pixels. Black comes in shades from 0 to 8 that differ between neighbours,
// so that a pixel that copies another black pixel shows which.
sim::CHostImage DepthPage(EDepthLayout layout, int width, int height, uint64_t seed);

}  // namespace bench
