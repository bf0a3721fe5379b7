#include "autoflat/DistanceTransform.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "autoflat/Workers.h"

namespace autoflat {

namespace {

constexpr uint32_t kNoSource = UINT32_MAX;

// Columns in blocks that fill cache lines, each block swept down and up the
// page row by row, so that the sweeps read memory in order.
void ColumnDistances(int32_t width, int32_t height, const uint32_t* labels, uint32_t label, bool invert,
                     uint32_t* out, int64_t x0, int64_t x1) {
    for (int64_t y = 0; y < height; ++y) {
        uint32_t* row = out + y * int64_t(width);
        const uint32_t* source = labels + y * int64_t(width);
        const uint32_t* above = y > 0 ? row - width : nullptr;
        for (int64_t x = x0; x < x1; ++x) {
            if ((source[x] == label) != invert)
                row[x] = 0;
            else if (above && above[x] != kNoSource)
                row[x] = above[x] + 1;
            else
                row[x] = kNoSource;
        }
    }
    for (int64_t y = int64_t(height) - 2; y >= 0; --y) {
        uint32_t* row = out + y * int64_t(width);
        const uint32_t* below = row + width;
        for (int64_t x = x0; x < x1; ++x)
            if (below[x] != kNoSource && below[x] + 1 < row[x]) row[x] = below[x] + 1;
    }
}

// One row: f(x) = column distance², d²(x) = min over q of (x - q)² + f(q).
class CRowEnvelope {
public:
    explicit CRowEnvelope(int32_t width)
        : sites_(size_t(width)), bounds_(size_t(width) + 1), f_(size_t(width)) {}

    void Run(uint32_t* row, int32_t width) {
        int64_t count = 0;
        for (int32_t q = 0; q < width; ++q) {
            if (row[q] == kNoSource) continue;
            const int64_t fq = int64_t(row[q]) * row[q];
            f_[size_t(q)] = fq;
            // The intersection that ends the popping is the new site's bound:
            // kept rather than divided out a second time.
            double bound = -std::numeric_limits<double>::infinity();
            while (count > 0) {
                const double s = Intersection(sites_[size_t(count - 1)], q);
                if (s <= bounds_[size_t(count - 1)]) {
                    --count;
                } else {
                    bound = s;
                    break;
                }
            }
            sites_[size_t(count)] = q;
            bounds_[size_t(count)] = bound;
            ++count;
        }
        if (count == 0) {
            std::fill(row, row + width, kFarAway);
            return;
        }
        int64_t k = 0;
        for (int32_t x = 0; x < width; ++x) {
            while (k + 1 < count && bounds_[size_t(k + 1)] < x) ++k;
            const int64_t q = sites_[size_t(k)];
            const int64_t d = (x - q) * (x - q) + f_[size_t(q)];
            row[x] = d >= int64_t(kFarAway) ? kFarAway : uint32_t(d);
        }
    }

private:
    // Where the parabola of site q starts to lie below that of site p (p < q).
    // Exact in doubles: every term is an integer below 2^53.
    double Intersection(int64_t p, int64_t q) const {
        const double num = double(f_[size_t(q)] + q * q) - double(f_[size_t(p)] + p * p);
        return num / double(2 * (q - p));
    }

    std::vector<int32_t> sites_;
    std::vector<double> bounds_;
    std::vector<int64_t> f_;
};

}  // namespace

void SquaredDistances(int32_t width, int32_t height, const uint32_t* labels, uint32_t label, bool invert,
                      uint32_t* out, int workers, const FWorkDone& done) {
    if (width <= 0 || height <= 0) return;
    // A block of columns at a time, so that the columns are swept in cache
    // lines and progress is heard between blocks.
    constexpr int64_t kBlock = 64;
    ForEachPart(workers, width, kBlock, [&](int64_t x0, int64_t x1) {
        for (int64_t x = x0; x < x1; x += kBlock) {
            const int64_t end = std::min(x1, x + kBlock);
            ColumnDistances(width, height, labels, label, invert, out, x, end);
            if (done) done(uint64_t(end - x) * uint64_t(height));
        }
    });
    ForEachPart(workers, height, 16, [&](int64_t y0, int64_t y1) {
        CRowEnvelope envelope(width);
        for (int64_t y = y0; y < y1; ++y) {
            envelope.Run(out + y * int64_t(width), width);
            if (done) done(uint64_t(width));
        }
    });
}

}  // namespace autoflat
