#include "autoflat/RegionLabels.h"

#include <algorithm>

#include "autoflat/Workers.h"

namespace autoflat {

void GrowIntoOpen(const SLabelMap& map, const FWorkDone& done, int workers) {
    const int64_t w = map.width, h = map.height;
    std::vector<uint32_t> frontier, next;
    auto hasOpenNeighbour = [&](int64_t x, int64_t y) {
        const int64_t i = y * w + x;
        return (y + 1 < h && map.labels[i + w] == kOpen) || (x + 1 < w && map.labels[i + 1] == kOpen) ||
               (y > 0 && map.labels[i - w] == kOpen) || (x > 0 && map.labels[i - 1] == kOpen);
    };
    // The first frontier in row order, each worker finding its rows' part.
    const int64_t parts = std::clamp<int64_t>(workers, 1, std::max<int64_t>(1, h / 64));
    std::vector<std::vector<uint32_t>> found{size_t(parts)};
    ForEachPart(int(parts), parts, 1, [&](int64_t p0, int64_t p1) {
        for (int64_t p = p0; p < p1; ++p)
            for (int64_t y = h * p / parts; y < h * (p + 1) / parts; ++y) {
                for (int64_t x = 0; x < w; ++x) {
                    const uint32_t value = map.labels[y * w + x];
                    if (value != kLine && value != kOpen && hasOpenNeighbour(x, y))
                        found[size_t(p)].push_back(uint32_t(y * w + x));
                }
                if (done) done(uint64_t(w));
            }
    });
    size_t total = 0;
    for (const std::vector<uint32_t>& part : found) total += part.size();
    frontier.reserve(total);
    for (std::vector<uint32_t>& part : found) {
        frontier.insert(frontier.end(), part.begin(), part.end());
        std::vector<uint32_t>().swap(part);
    }
    while (!frontier.empty()) {
        next.clear();
        for (const uint32_t index : frontier) {
            // Pages hold fewer than 2^32 pixels; a 32-bit division is the
            // cheaper one on every target.
            const uint32_t y = index / uint32_t(w), x = index - y * uint32_t(w);
            const uint32_t label = map.labels[index];
            auto take = [&](int64_t j) {
                if (map.labels[j] != kOpen) return;
                map.labels[j] = label;
                next.push_back(uint32_t(j));
            };
            if (int64_t(y) + 1 < h) take(index + w);
            if (int64_t(x) + 1 < w) take(index + 1);
            if (y > 0) take(index - w);
            if (x > 0) take(index - 1);
        }
        if (done) done(frontier.size());
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
