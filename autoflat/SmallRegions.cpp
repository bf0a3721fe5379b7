#include "autoflat/SmallRegions.h"

#include <algorithm>
#include <mutex>
#include <numeric>
#include <unordered_map>

#include "autoflat/Workers.h"

namespace autoflat {

std::vector<SBorder> Borders(const uint32_t* labels, int32_t width, int32_t height, uint32_t firstLabel,
                             int workers) {
    std::vector<std::vector<uint64_t>> parts;
    std::mutex lock;
    ForEachPart(workers, height, 64, [&](int64_t y0, int64_t y1) {
        std::vector<uint64_t> pairs;
        auto add = [&](uint32_t p, uint32_t q) {
            if (p == q || p < firstLabel || q < firstLabel) return;
            pairs.push_back(p < q ? uint64_t(p) << 32 | q : uint64_t(q) << 32 | p);
        };
        for (int64_t y = y0; y < y1; ++y) {
            const uint32_t* row = labels + y * width;
            for (int64_t x = 0; x + 1 < width; ++x) add(row[x], row[x + 1]);
            if (y + 1 < height)
                for (int64_t x = 0; x < width; ++x) add(row[x], row[x + width]);
        }
        std::sort(pairs.begin(), pairs.end());
        std::lock_guard<std::mutex> guard(lock);
        parts.push_back(std::move(pairs));
    });
    std::vector<uint64_t> all;
    for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    std::sort(all.begin(), all.end());
    std::vector<SBorder> borders;
    for (size_t i = 0; i < all.size();) {
        size_t j = i;
        while (j < all.size() && all[j] == all[i]) ++j;
        borders.push_back({uint32_t(all[i] >> 32), uint32_t(all[i]), uint64_t(j - i)});
        i = j;
    }
    return borders;
}

std::vector<uint32_t> FoldSmallRegions(const std::vector<uint64_t>& area, const std::vector<bool>& keep,
                                       const std::vector<SBorder>& borders, uint64_t minArea) {
    const size_t count = area.size();
    std::vector<uint32_t> into(count);
    std::iota(into.begin(), into.end(), 0u);
    if (minArea <= 1) return into;
    std::vector<uint64_t> size = area;
    std::vector<std::unordered_map<uint32_t, uint64_t>> touching(count);
    for (const SBorder& border : borders) {
        if (border.a >= count || border.b >= count) continue;
        touching[border.a][border.b] += border.length;
        touching[border.b][border.a] += border.length;
    }
    std::vector<uint32_t> order;
    for (uint32_t r = 0; r < count; ++r)
        if (size[r] < minArea && !(r < keep.size() && keep[r])) order.push_back(r);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) { return area[x] < area[y]; });
    for (const uint32_t r : order) {
        if (into[r] != r || size[r] >= minArea || touching[r].empty()) continue;
        uint32_t best = 0;
        uint64_t longest = 0;
        for (const auto& [other, length] : touching[r])
            if (length > longest || (length == longest && other < best)) {
                best = other;
                longest = length;
            }
        into[r] = best;
        size[best] += size[r];
        for (const auto& [other, length] : touching[r]) {
            touching[other].erase(r);
            if (other == best) continue;
            touching[best][other] += length;
            touching[other][best] += length;
        }
        touching[r].clear();
    }
    // Chains of folds end in the region that stayed.
    for (uint32_t r = 0; r < count; ++r) {
        uint32_t end = r;
        while (into[end] != end) end = into[end];
        into[r] = end;
    }
    return into;
}

}  // namespace autoflat
