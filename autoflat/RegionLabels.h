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

inline void Join(std::vector<uint32_t>& parent, uint32_t a, uint32_t b) {
    a = Root(parent, a);
    b = Root(parent, b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
}

// A run of rows labelled on its own: provisional labels (offsets from
// firstLabel) joined where they meet, the smaller one the root, so a root
// is its component's first pixel in row order. Each counts its pixels.
struct SBand {
    int64_t firstRow = 0, endRow = 0;
    std::vector<uint32_t> parent, count;
};

template <class FMember>
void LabelBand(const SLabelMap& map, uint32_t firstLabel, const FMember& member, uint64_t room, SBand& band,
               const FWorkDone& done) {
    auto provisional = [&](uint32_t value) { return value >= firstLabel && value != kOpen; };
    std::vector<uint32_t>& parent = band.parent;
    for (int64_t y = band.firstRow; y < band.endRow; ++y) {
        uint32_t* row = map.labels + y * map.width;
        // The band's first row meets the one above only when bands are joined.
        const uint32_t* above = y > band.firstRow ? row - map.width : nullptr;
        for (int64_t x = 0; x < map.width; ++x) {
            if (!member(y * map.width + x)) continue;
            const bool left = x > 0 && provisional(row[x - 1]);
            const bool up = above && provisional(above[x]);
            if (left && up) {
                const uint32_t a = Root(parent, row[x - 1] - firstLabel);
                const uint32_t b = Root(parent, above[x] - firstLabel);
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
                band.count.push_back(0);
            }
            ++band.count[row[x] - firstLabel];
        }
        if (done) done(uint64_t(map.width));
    }
}

// Joins the bands' labels into one numbering, band after band, so that
// labels still rise in row order, and joins the components that meet
// across each band's first row. offsets[b] is band b's first label's
// offset in that numbering. Each band's memory goes once it is copied.
void JoinBands(const SLabelMap& map, uint32_t firstLabel, uint64_t room, std::vector<SBand>& bands,
               std::vector<uint32_t>& parent, std::vector<uint32_t>& count, std::vector<uint32_t>& offsets);

// Final labels: label `value` of band b becomes firstLabel +
// root[offsets[b] + value - firstLabel], on every worker.
void NumberBands(const SLabelMap& map, uint32_t firstLabel, const std::vector<SBand>& bands,
                 const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& root,
                 const FWorkDone& done, int workers);

}  // namespace label_detail

// Gives every 4-connected component of the pixels for which member(index)
// holds a new label firstLabel, firstLabel + 1, ... in the order in which
// the components first appear in rows from the top. member is asked once
// per pixel, before the pixel is written, by several workers at once (each
// in a band of rows of its own, in row order there), so it may read no
// pixel of the map but its own. Returns each new label's pixel count.
// `done` hears of the work, a pixel a unit in each of the two passes.
template <class FMember>
std::vector<uint64_t> LabelComponents(const SLabelMap& map, uint32_t firstLabel, const FMember& member,
                                      const FWorkDone& done = {}, int workers = 1) {
    const uint64_t room = uint64_t(kOpen) - firstLabel;
    // Bands of at least a few dozen rows, so that joining them at their
    // borders stays a small part of the work.
    const int64_t bandCount = std::clamp<int64_t>(workers, 1, std::max<int64_t>(1, map.height / 32));
    std::vector<label_detail::SBand> bands(static_cast<size_t>(bandCount));
    for (int64_t b = 0; b < bandCount; ++b) {
        bands[size_t(b)].firstRow = map.height * b / bandCount;
        bands[size_t(b)].endRow = map.height * (b + 1) / bandCount;
    }
    ForEachPart(int(bandCount), bandCount, 1, [&](int64_t b0, int64_t b1) {
        for (int64_t b = b0; b < b1; ++b)
            label_detail::LabelBand(map, firstLabel, member, room, bands[size_t(b)], done);
    });
    std::vector<uint32_t> parent, count, offsets;
    label_detail::JoinBands(map, firstLabel, room, bands, parent, count, offsets);
    // Roots in increasing order are the components in order of first
    // appearance, since provisional labels rise in row order: a root's
    // final label is the number of roots before it. A parent is never
    // larger than its child, so one pass from the front resolves all.
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
    label_detail::NumberBands(map, firstLabel, bands, offsets, parent, done, workers);
    return sizes;
}
}  // namespace autoflat
