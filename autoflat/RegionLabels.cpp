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
    // The first frontier in row order: each worker counts its rows' part,
    // then writes it in place, so that no worker allocates (a thread's
    // own heap would hold on to what it freed until the run ends).
    const int64_t parts = std::clamp<int64_t>(workers, 1, std::max<int64_t>(1, h / 64));
    std::vector<size_t> starts(size_t(parts) + 1, 0);
    auto scan = [&](int64_t p, bool write) {
        // Counting, another worker may be writing where this part starts.
        const size_t first = write ? starts[size_t(p)] : 0;
        size_t at = first;
        for (int64_t y = h * p / parts; y < h * (p + 1) / parts; ++y) {
            for (int64_t x = 0; x < w; ++x) {
                const uint32_t value = map.labels[y * w + x];
                if (value != kLine && value != kOpen && hasOpenNeighbour(x, y)) {
                    if (write) frontier[at] = uint32_t(y * w + x);
                    ++at;
                }
            }
            // Half a row's unit in each of the two sweeps.
            if (done) done(write ? uint64_t(w - w / 2) : uint64_t(w / 2));
        }
        return at - first;
    };
    ForEachPart(int(parts), parts, 1, [&](int64_t p0, int64_t p1) {
        for (int64_t p = p0; p < p1; ++p) starts[size_t(p) + 1] = scan(p, false);
    });
    for (size_t p = 0; p < size_t(parts); ++p) starts[p + 1] += starts[p];
    frontier.resize(starts.back());
    ForEachPart(int(parts), parts, 1, [&](int64_t p0, int64_t p1) {
        for (int64_t p = p0; p < p1; ++p) scan(p, true);
    });
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
