#include "autoflat/RegionLabels.h"

#include "autoflat/Workers.h"

namespace autoflat {

void GrowIntoOpen(const SLabelMap& map, const FWorkDone& done) {
    const int64_t w = map.width, h = map.height;
    std::vector<uint32_t> frontier, next;
    auto hasOpenNeighbour = [&](int64_t x, int64_t y) {
        const int64_t i = y * w + x;
        return (y + 1 < h && map.labels[i + w] == kOpen) || (x + 1 < w && map.labels[i + 1] == kOpen) ||
               (y > 0 && map.labels[i - w] == kOpen) || (x > 0 && map.labels[i - 1] == kOpen);
    };
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            const uint32_t value = map.labels[y * w + x];
            if (value != kLine && value != kOpen && hasOpenNeighbour(x, y))
                frontier.push_back(uint32_t(y * w + x));
        }
        if (done) done(uint64_t(w));
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
