#include "autoflat/RegionLabels.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "autoflat/Workers.h"

namespace autoflat {

namespace label_detail {

void JoinBands(const SLabelMap& map, uint32_t firstLabel, uint64_t room, std::vector<SBand>& bands,
               std::vector<uint32_t>& parent, std::vector<uint32_t>& count, std::vector<uint32_t>& offsets) {
    uint64_t total = 0;
    for (const SBand& band : bands) total += band.parent.size();
    auto tooMany = [&] { return CTooManyLabels("too many regions: more than " + std::to_string(room)); };
    // Pages hold fewer than 2^32 pixels, so this is only a guard.
    if (total > UINT32_MAX) throw tooMany();
    offsets.assign(bands.size(), 0);
    if (bands.size() == 1) {
        parent.swap(bands[0].parent);
        count.swap(bands[0].count);
        return;
    }
    parent.resize(size_t(total));
    count.resize(size_t(total));
    uint32_t offset = 0;
    for (size_t b = 0; b < bands.size(); ++b) {
        offsets[b] = offset;
        SBand& band = bands[b];
        for (size_t i = 0; i < band.parent.size(); ++i) parent[offset + i] = offset + band.parent[i];
        std::copy(band.count.begin(), band.count.end(), count.begin() + offset);
        offset += uint32_t(band.parent.size());
        std::vector<uint32_t>().swap(band.parent);
        std::vector<uint32_t>().swap(band.count);
    }
    // A band's first row opens a label wherever one pass from the top would
    // have carried the label from above; those do not count against room,
    // so that a page fails on exactly the same count on every worker count.
    auto provisional = [&](uint32_t value) { return value >= firstLabel && value != kOpen; };
    uint64_t carried = 0;
    for (size_t b = 1; b < bands.size(); ++b) {
        const int64_t y = bands[b].firstRow;
        if (y == 0 || y == bands[b].endRow) continue;
        const uint32_t* row = map.labels + y * map.width;
        const uint32_t* above = row - map.width;
        for (int64_t x = 0; x < map.width; ++x) {
            if (!provisional(row[x]) || !provisional(above[x])) continue;
            if (x == 0 || !provisional(row[x - 1])) ++carried;
            Join(parent, offsets[b] + (row[x] - firstLabel), offsets[b - 1] + (above[x] - firstLabel));
        }
    }
    if (total - carried > room) throw tooMany();
}

void NumberBands(const SLabelMap& map, uint32_t firstLabel, const std::vector<SBand>& bands,
                 const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& root,
                 const FWorkDone& done, int workers) {
    constexpr int64_t kReportEvery = int64_t(1) << 16;
    ForEachPart(workers, map.Size(), kReportEvery, [&](int64_t begin, int64_t end) {
        size_t b = 0;
        for (int64_t i = begin; i < end; i += kReportEvery) {
            const int64_t stop = std::min(end, i + kReportEvery);
            for (int64_t j = i; j < stop;) {
                while (bands[b].endRow * map.width <= j) ++b;
                const int64_t bandStop = std::min(stop, bands[b].endRow * map.width);
                const uint32_t* bandRoot = root.data() + offsets[b];
                for (; j < bandStop; ++j) {
                    const uint32_t value = map.labels[j];
                    if (value >= firstLabel && value != kOpen)
                        map.labels[j] = firstLabel + bandRoot[value - firstLabel];
                }
            }
            if (done) done(uint64_t(stop - i));
        }
    });
}

}  // namespace label_detail

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
