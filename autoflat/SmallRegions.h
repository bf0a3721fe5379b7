// Regions too small to be meant (hatching specks, scan dust) folded into the
// neighbour they share the longest border with.
#pragma once

#include <cstdint>
#include <vector>

#include "autoflat/RunControl.h"

namespace autoflat {

struct SBorder {
    uint32_t a = 0, b = 0;  // a < b
    uint64_t length = 0;    // pixel edges the two regions share
};

// Every pair of different labels that touch across a pixel edge, in order,
// with the length of their border; labels below firstLabel are left out.
std::vector<SBorder> Borders(const uint32_t* labels, int32_t width, int32_t height, uint32_t firstLabel,
                             int workers, const FWorkDone& done = {});

// Returns, for every label 0 .. area.size() - 1, the label it ends up in.
// Labels with keep[label] set are never folded, nor are those without a
// neighbour. Smaller regions go first, so a speck next to a speck can still
// end in a region that is large enough.
std::vector<uint32_t> FoldSmallRegions(const std::vector<uint64_t>& area, const std::vector<bool>& keep,
                                       const std::vector<SBorder>& borders, uint64_t minArea,
                                       const FWorkDone& done = {});

}  // namespace autoflat
