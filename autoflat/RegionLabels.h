// The label map that the page's regions are built in: one uint32 per pixel,
// 0 for line art, kOpen for a region pixel not yet given to a region, any
// other value a region. Pixels connect through their four edge neighbours,
// so a line one pixel thin drawn on the diagonal still separates.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace autoflat {

constexpr uint32_t kLine = 0;
constexpr uint32_t kOpen = UINT32_MAX;

struct SLabelMap {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t* labels = nullptr;
    int64_t Size() const { return int64_t(width) * height; }
};

// Gives every 4-connected component of the pixels for which member(index)
// holds a new label firstLabel, firstLabel + 1, ... in the order in which
// the components first appear in rows from the top. member is asked once
// per pixel, in that order, before the pixel is written. Returns each new
// label's pixel count.
std::vector<uint64_t> LabelComponents(const SLabelMap& map, uint32_t firstLabel,
                                      const std::function<bool(int64_t)>& member);

// Hands every kOpen pixel that the labels reach through kOpen pixels to the
// label nearest along such a path, all labels growing one step at a time
// in the order of the pixels' rows, so that who wins a pixel both could
// reach never depends on anything but the page.
void GrowIntoOpen(const SLabelMap& map);

// Labels from firstLabel on become remap[label - firstLabel].
void Relabel(const SLabelMap& map, uint32_t firstLabel, const std::vector<uint32_t>& remap, int workers);

}  // namespace autoflat
