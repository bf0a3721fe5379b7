// The lines melted into their regions by the engine's own nearest-colour
// pass, run over the label map itself: line pixels are black to the engine,
// and every region label is stored so that the engine never takes it for
// black. Every line pixel so ends with the label of the region pixel the
// filter would have copied into it from a page filled by hand, except where
// the filter would leave it black (see AutoFlats.h, "Melting").
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "autoflat/RegionLabels.h"

namespace autoflat {

// The largest label the melt can carry: the top byte marks a region.
constexpr uint32_t kMaxMeltLabel = 0x00FFFFFF;

// `map` holds kLine and labels 1 .. kMaxMeltLabel; `melted` receives the
// same map with line pixels given labels (0 where the engine's search gave
// up at the page's border). Strips are the engine's own, counted from the
// top whatever the workers, so the result never depends on their count.
// `keepGoing` is asked by the calling thread between its strips with the
// fraction done; false stops every worker, and the melt returns false.
bool MeltLabels(const SLabelMap& map, uint32_t* melted, uint32_t depth, int workers,
                const std::function<bool(double)>& keepGoing);

}  // namespace autoflat
