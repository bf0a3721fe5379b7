#include "autoflat/SmallRegions.h"

#include <algorithm>
#include <mutex>
#include <numeric>
#include <unordered_map>

#include "autoflat/Workers.h"

namespace autoflat {

namespace {

// Pairs of touching labels gathered a buffer at a time and counted into a
// sorted list, so that a page whose borders run long holds a buffer and the
// distinct pairs, never a pair for every pixel edge.
class CBorderCount {
public:
    static constexpr size_t kBuffer = size_t(1) << 15;

    void Add(uint32_t p, uint32_t q) {
        pending_.push_back(p < q ? uint64_t(p) << 32 | q : uint64_t(q) << 32 | p);
        if (pending_.size() >= std::max(kBuffer, counted_.size())) Flush();
    }
    std::vector<SBorder> Take() {
        Flush();
        return std::move(counted_);
    }
    // Sorted lists of borders added up into one.
    static std::vector<SBorder> Merge(const std::vector<SBorder>& x, const std::vector<SBorder>& y) {
        std::vector<SBorder> both;
        both.reserve(x.size() + y.size());
        size_t i = 0, j = 0;
        auto key = [](const SBorder& border) { return uint64_t(border.a) << 32 | border.b; };
        while (i < x.size() || j < y.size()) {
            if (j == y.size() || (i < x.size() && key(x[i]) < key(y[j]))) {
                both.push_back(x[i++]);
            } else if (i == x.size() || key(y[j]) < key(x[i])) {
                both.push_back(y[j++]);
            } else {
                both.push_back({x[i].a, x[i].b, x[i].length + y[j].length});
                ++i;
                ++j;
            }
        }
        return both;
    }

private:
    void Flush() {
        if (pending_.empty()) return;
        std::sort(pending_.begin(), pending_.end());
        std::vector<SBorder> fresh;
        for (size_t i = 0; i < pending_.size();) {
            size_t j = i;
            while (j < pending_.size() && pending_[j] == pending_[i]) ++j;
            fresh.push_back({uint32_t(pending_[i] >> 32), uint32_t(pending_[i]), uint64_t(j - i)});
            i = j;
        }
        pending_.clear();
        counted_ = Merge(counted_, fresh);
    }

    std::vector<uint64_t> pending_;
    std::vector<SBorder> counted_;
};

}  // namespace

std::vector<SBorder> Borders(const uint32_t* labels, int32_t width, int32_t height, uint32_t firstLabel,
                             int workers, const FWorkDone& done) {
    std::vector<SBorder> all;
    std::mutex lock;
    ForEachPart(workers, height, 64, [&](int64_t y0, int64_t y1) {
        CBorderCount count;
        auto add = [&](uint32_t p, uint32_t q) {
            if (p != q && p >= firstLabel && q >= firstLabel) count.Add(p, q);
        };
        for (int64_t y = y0; y < y1; ++y) {
            const uint32_t* row = labels + y * width;
            for (int64_t x = 0; x + 1 < width; ++x) add(row[x], row[x + 1]);
            if (y + 1 < height)
                for (int64_t x = 0; x < width; ++x) add(row[x], row[x + width]);
            if (done) done(uint64_t(width));
        }
        std::vector<SBorder> part = count.Take();
        std::lock_guard<std::mutex> guard(lock);
        all = CBorderCount::Merge(all, part);
    });
    return all;
}

std::vector<uint32_t> FoldSmallRegions(const std::vector<uint64_t>& area, const std::vector<bool>& keep,
                                       const std::vector<SBorder>& borders, uint64_t minArea,
                                       const FWorkDone& done) {
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
        if (done) done(1 + touching[r].size());
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
