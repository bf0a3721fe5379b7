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
#include "autoflat/Workers.h"

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
// `done` hears of the work as it goes, a pixel a unit; `workers` find
// where the growth starts.
void GrowIntoOpen(const SLabelMap& map, const FWorkDone& done = {}, int workers = 1);

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
// the two passes; the second runs on `workers`.
template <class FMember>
std::vector<uint64_t> LabelComponents(const SLabelMap& map, uint32_t firstLabel, const FMember& member,
                                      const FWorkDone& done = {}, int workers = 1) {
    // First pass: provisional labels (offsets from firstLabel) joined where
    // they meet; the smaller one is the root, so a root is its component's
    // first pixel in row order. Each provisional label counts its pixels.
    std::vector<uint32_t> parent, count;
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
                count.push_back(0);
            }
            ++count[row[x] - firstLabel];
        }
        if (done) done(uint64_t(map.width));
    }
    // Roots in increasing order are the components in order of first
    // appearance, since provisional labels are handed out in row order: a
    // root's final label is the number of roots before it. A parent is
    // never larger than its child, so one pass from the front resolves all.
    std::vector<uint64_t> sizes;
    for (uint32_t p = 0; p < parent.size(); ++p) {
        if (parent[p] == p) {
            parent[p] = uint32_t(sizes.size());
            sizes.push_back(0);
        } else {
            parent[p] = parent[parent[p]];
        }
        sizes[parent[p]] += count[p];
    }
    std::vector<uint32_t>().swap(count);
    // Second pass: final labels, a lookup a pixel, on every worker.
    constexpr int64_t kReportEvery = int64_t(1) << 16;
    ForEachPart(workers, map.Size(), kReportEvery, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; i += kReportEvery) {
            const int64_t stop = std::min(end, i + kReportEvery);
            for (int64_t j = i; j < stop; ++j) {
                const uint32_t value = map.labels[j];
                if (provisional(value)) map.labels[j] = firstLabel + parent[value - firstLabel];
            }
            if (done) done(uint64_t(stop - i));
        }
    });
    return sizes;
}
}  // namespace autoflat
