#include "autoflat/DistanceTransform.h"

#include <algorithm>
#include <vector>

#include "autoflat/Workers.h"

namespace autoflat {

namespace {

constexpr uint32_t kNoSource = UINT32_MAX;

// A column's distance to its nearest source, down then up: one band of
// columns, swept a whole row of the band at a time, so that both sweeps
// stream through memory in order (a narrow block, row by row, jumps a page
// every row and leaves the prefetcher behind). No branch per pixel: kNoSource
// plus "not kNoSource" stays kNoSource, and anything else counts one more.
void ColumnDistances(int32_t width, int32_t height, const uint32_t* labels, uint32_t label, bool invert,
                     uint32_t* out, int64_t x0, int64_t x1, const FWorkDone& done) {
    // Half a unit a pixel in each sweep, heard every so many rows.
    constexpr int64_t kReportRows = 64;
    uint64_t swept = 0, reported = 0;
    auto report = [&](bool last) {
        ++swept;
        if (!done || (!last && swept % kReportRows != 0)) return;
        const uint64_t due = uint64_t(x1 - x0) * swept / 2;
        done(due - reported);
        reported = due;
    };
    for (int64_t y = 0; y < height; ++y) {
        uint32_t* row = out + y * int64_t(width);
        const uint32_t* source = labels + y * int64_t(width);
        if (y == 0) {
            for (int64_t x = x0; x < x1; ++x) row[x] = (source[x] == label) != invert ? 0 : kNoSource;
        } else {
            const uint32_t* above = row - width;
            for (int64_t x = x0; x < x1; ++x) {
                const uint32_t down = above[x] + uint32_t(above[x] != kNoSource);
                row[x] = (source[x] == label) != invert ? 0 : down;
            }
        }
        report(false);
    }
    for (int64_t y = int64_t(height) - 2; y >= 0; --y) {
        uint32_t* row = out + y * int64_t(width);
        const uint32_t* below = row + width;
        for (int64_t x = x0; x < x1; ++x)
            row[x] = std::min(row[x], below[x] + uint32_t(below[x] != kNoSource));
        report(false);
    }
    report(true);
}

// One row: f(x) = column distance², d²(x) = min over q of (x - q)² + f(q).
// Where the parabolas of two sites cross is a fraction kept as numerator
// and denominator and compared by cross-multiplying: exact in 64-bit
// integers (numerators below 2^34, denominators below 2^18), and no
// division, whose latency would set the pace of the pops.
class CRowEnvelope {
public:
    explicit CRowEnvelope(int32_t width)
        : sites_(size_t(width)), num_(size_t(width) + 1), den_(size_t(width) + 1), f_(size_t(width)) {}

    void Run(uint32_t* row, int32_t width) {
        int64_t count = 0;
        for (int32_t q = 0; q < width; ++q) {
            if (row[q] == kNoSource) continue;
            const int64_t fq = int64_t(row[q]) * row[q];
            f_[size_t(q)] = fq;
            // The first site's bound lies at minus infinity: it is never
            // popped. The crossing that ends the popping is the new site's bound.
            int64_t num = 0, den = 0;
            while (count > 0) {
                const int64_t p = sites_[size_t(count - 1)];
                num = fq + int64_t(q) * q - (f_[size_t(p)] + p * p);
                den = 2 * (q - p);
                if (count > 1 && num * den_[size_t(count - 1)] <= num_[size_t(count - 1)] * den)
                    --count;
                else
                    break;
            }
            sites_[size_t(count)] = q;
            num_[size_t(count)] = num;
            den_[size_t(count)] = den;
            ++count;
        }
        if (count == 0) {
            std::fill(row, row + width, kFarAway);
            return;
        }
        int64_t k = 0;
        for (int32_t x = 0; x < width; ++x) {
            while (k + 1 < count && num_[size_t(k + 1)] < int64_t(x) * den_[size_t(k + 1)]) ++k;
            const int64_t q = sites_[size_t(k)];
            const int64_t d = (x - q) * (x - q) + f_[size_t(q)];
            row[x] = d >= int64_t(kFarAway) ? kFarAway : uint32_t(d);
        }
    }

private:
    std::vector<int32_t> sites_;
    std::vector<int64_t> num_, den_;
    std::vector<int64_t> f_;
};

}  // namespace

void SquaredDistances(int32_t width, int32_t height, const uint32_t* labels, uint32_t label, bool invert,
                      uint32_t* out, int workers, const FWorkDone& done) {
    if (width <= 0 || height <= 0) return;
    // Each worker sweeps a band of whole cache lines of columns.
    ForEachPart(workers, width, 16, [&](int64_t x0, int64_t x1) {
        ColumnDistances(width, height, labels, label, invert, out, x0, x1, done);
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
