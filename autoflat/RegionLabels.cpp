#include "autoflat/RegionLabels.h"

#include <stdexcept>

#include "autoflat/Workers.h"

namespace autoflat {

namespace {

uint32_t Root(std::vector<uint32_t>& parent, uint32_t label) {
    uint32_t root = label;
    while (parent[root] != root) root = parent[root];
    while (parent[label] != root) {
        const uint32_t next = parent[label];
        parent[label] = root;
        label = next;
    }
    return root;
}

}  // namespace

std::vector<uint64_t> LabelComponents(const SLabelMap& map, uint32_t firstLabel,
                                      const std::function<bool(int64_t)>& member) {
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
                const uint32_t a = Root(parent, row[x - 1] - firstLabel);
                const uint32_t b = Root(parent, above[x] - firstLabel);
                if (a != b) parent[std::max(a, b)] = std::min(a, b);
                row[x] = firstLabel + std::min(a, b);
            } else if (left) {
                row[x] = row[x - 1];
            } else if (up) {
                row[x] = above[x];
            } else {
                if (parent.size() >= room) throw std::length_error("too many regions");
                row[x] = firstLabel + uint32_t(parent.size());
                parent.push_back(uint32_t(parent.size()));
            }
        }
    }
    // Second pass: final labels in order of first appearance.
    constexpr uint32_t kUnset = UINT32_MAX;
    std::vector<uint32_t> final(parent.size(), kUnset);
    std::vector<uint64_t> sizes;
    for (int64_t i = 0; i < map.Size(); ++i) {
        const uint32_t value = map.labels[i];
        if (!provisional(value)) continue;
        const uint32_t root = Root(parent, value - firstLabel);
        if (final[root] == kUnset) {
            final[root] = uint32_t(sizes.size());
            sizes.push_back(0);
        }
        map.labels[i] = firstLabel + final[root];
        ++sizes[final[root]];
    }
    return sizes;
}

void GrowIntoOpen(const SLabelMap& map) {
    const int64_t w = map.width, h = map.height;
    std::vector<uint32_t> frontier, next;
    auto hasOpenNeighbour = [&](int64_t x, int64_t y) {
        const int64_t i = y * w + x;
        return (y + 1 < h && map.labels[i + w] == kOpen) || (x + 1 < w && map.labels[i + 1] == kOpen) ||
               (y > 0 && map.labels[i - w] == kOpen) || (x > 0 && map.labels[i - 1] == kOpen);
    };
    for (int64_t y = 0; y < h; ++y)
        for (int64_t x = 0; x < w; ++x) {
            const uint32_t value = map.labels[y * w + x];
            if (value != kLine && value != kOpen && hasOpenNeighbour(x, y))
                frontier.push_back(uint32_t(y * w + x));
        }
    while (!frontier.empty()) {
        next.clear();
        for (const uint32_t index : frontier) {
            const int64_t y = index / w, x = index % w;
            const uint32_t label = map.labels[index];
            auto take = [&](int64_t j) {
                if (map.labels[j] != kOpen) return;
                map.labels[j] = label;
                next.push_back(uint32_t(j));
            };
            if (y + 1 < h) take(index + w);
            if (x + 1 < w) take(index + 1);
            if (y > 0) take(index - w);
            if (x > 0) take(index - 1);
        }
        frontier.swap(next);
    }
}

void Relabel(const SLabelMap& map, uint32_t firstLabel, const std::vector<uint32_t>& remap, int workers) {
    ForEachPart(workers, map.Size(), 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            const uint32_t value = map.labels[i];
            if (value >= firstLabel && value != kOpen && value - firstLabel < remap.size())
                map.labels[i] = remap[value - firstLabel];
        }
    });
}

}  // namespace autoflat
