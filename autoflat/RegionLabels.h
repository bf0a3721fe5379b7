// The label map that the page's regions are built in: one uint32 per pixel,
// 0 for line art, kOpen for a region pixel not yet given to a region, any
// other value a region. Pixels connect through their four edge neighbours,
// so a line one pixel thin drawn on the diagonal still separates.
#pragma once

#include <cstdint>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "autoflat/RunControl.h"

namespace autoflat {

constexpr uint32_t kLine = 0;
constexpr uint32_t kOpen = UINT32_MAX;

struct SLabelMap {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t* labels = nullptr;
    int64_t Size() const { return int64_t(width) * height; }
};

// Hands every kOpen pixel that the labels reach through kOpen pixels to the
// label nearest along such a path, all labels growing one step at a time
// in the order of the pixels' rows, so that who wins a pixel both could
// reach never depends on anything but the page.
// `done` hears of the work as it goes, a pixel a unit.
void GrowIntoOpen(const SLabelMap& map, const FWorkDone& done = {});

// Labels from firstLabel on become remap[label - firstLabel].
void Relabel(const SLabelMap& map, uint32_t firstLabel, const std::vector<uint32_t>& remap, int workers);

// More components than labels are left above firstLabel.
class CTooManyLabels : public std::length_error {
public:
    using std::length_error::length_error;
};

namespace label_detail {

inline uint32_t Root(std::vector<uint32_t>& parent, uint32_t label) {
    uint32_t root = label;
    while (parent[root] != root) root = parent[root];
    while (parent[label] != root) {
        const uint32_t next = parent[label];
        parent[label] = root;
        label = next;
    }
    return root;
}

}  // namespace label_detail

// Gives every 4-connected component of the pixels for which member(index)
// holds a new label firstLabel, firstLabel + 1, ... in the order in which
// the components first appear in rows from the top. member is asked once
// per pixel, in that order, before the pixel is written. Returns each new
// label's pixel count. `done` hears of the work, a pixel a unit in each of
// the two passes.
template <class FMember>
std::vector<uint64_t> LabelComponents(const SLabelMap& map, uint32_t firstLabel, const FMember& member,
                                      const FWorkDone& done = {}) {
    // First pass: provisional labels (offsets from firstLabel) joined where
    // they meet; the smaller one is the root, so a root is its component's
    // first pixel in row order.
    std::vector<uint32_t> parent;
    const uint64_t room = uint64_t(kOpen) - firstLabel;
    auto provisional = [&](uint32_t value) { return value >= firstLabel && value != kOpen; };
    for (int64_t y = 0; y < map.height; ++y) {
        uint32_t* row = map.labels + y * map.width;
        const uint32_t* above = y > 0 ? row - map.width : nullptr;
        for (int64_t x = 0; x < map.width; ++x) {
            if (!member(y * map.width + x)) continue;
            const bool left = x > 0 && provisional(row[x - 1]);
            const bool up = above && provisional(above[x]);
            if (left && up) {
                const uint32_t a = label_detail::Root(parent, row[x - 1] - firstLabel);
                const uint32_t b = label_detail::Root(parent, above[x] - firstLabel);
                if (a != b) parent[std::max(a, b)] = std::min(a, b);
                row[x] = firstLabel + std::min(a, b);
            } else if (left) {
                row[x] = row[x - 1];
            } else if (up) {
                row[x] = above[x];
            } else {
                if (parent.size() >= room)
                    throw CTooManyLabels("too many regions: more than " + std::to_string(room));
                row[x] = firstLabel + uint32_t(parent.size());
                parent.push_back(uint32_t(parent.size()));
            }
        }
        if (done) done(uint64_t(map.width));
    }
    // Second pass: final labels in order of first appearance.
    constexpr uint32_t kUnset = UINT32_MAX;
    std::vector<uint32_t> final(parent.size(), kUnset);
    std::vector<uint64_t> sizes;
    // Neighbouring pixels mostly share their provisional label: the last
    // one looked up is remembered.
    uint32_t lastValue = kOpen, lastFinal = 0;
    constexpr int64_t kReportEvery = int64_t(1) << 16;
    for (int64_t i = 0; i < map.Size(); ++i) {
        if (done && (i + 1) % kReportEvery == 0) done(uint64_t(kReportEvery));
        const uint32_t value = map.labels[i];
        if (!provisional(value)) continue;
        if (value != lastValue) {
            const uint32_t root = label_detail::Root(parent, value - firstLabel);
            if (final[root] == kUnset) {
                final[root] = uint32_t(sizes.size());
                sizes.push_back(0);
            }
            lastValue = value;
            lastFinal = final[root];
        }
        map.labels[i] = firstLabel + lastFinal;
        ++sizes[lastFinal];
    }
    return sizes;
}

}  // namespace autoflat
