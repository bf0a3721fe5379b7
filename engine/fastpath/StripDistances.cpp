#include "engine/fastpath/StripDistances.h"

#include <algorithm>
#include <bit>

#include "engine/FlatStrip.h"

CStripDistances::CStripDistances(const SFlatImage& image, uint32_t reach)
    : image_(image),
      cap_(reach + 1),
      beyond_(uint32_t(uint64_t(reach) * reach + 1)),
      words_((size_t(image.width) + 63) / 64),
      maskBuilt_(image.height, 0) {}

const uint64_t* CStripDistances::MaskRow(int32_t y) {
    // Left uninitialised, as each row is filled when first built
    // (make_unique_for_overwrite would say so, but not every standard
    // library the engine is built with has it yet).
    if (!mask_) mask_.reset(new uint64_t[words_ * size_t(image_.height)]);
    uint64_t* row = mask_.get() + size_t(y) * words_;
    if (maskBuilt_[size_t(y)]) return row;
    std::fill(row, row + words_, 0);
    // IsBlackPixel's test, written out so that it runs along the row.
    const uint8_t* pixel = image_.InPixel(0, y);
    const std::ptrdiff_t column = image_.inColumnBytes, plane = image_.inPlaneBytes;
    const int planes = uint8_t(image_.planeCount);
    for (int32_t x = 0; x < image_.width; ++x, pixel += column) {
        bool colour;
        if (image_.isCmyk) {
            colour = pixel[3 * plane] >= kCmykBlackLimit;
        } else {
            colour = false;
            for (int k = 0; k < planes && !colour; ++k) colour = pixel[k * plane] > kRgbBlackLimit;
        }
        if (colour) row[size_t(x) / 64] |= uint64_t(1) << (x % 64);
    }
    maskBuilt_[size_t(y)] = 1;
    return row;
}

void CStripDistances::Compute(int32_t firstRow, int32_t rows) {
    firstRow_ = firstRow;
    rows_ = rows;
    const size_t width = image_.width;
    distSq_.resize(size_t(rows) * width);
    sides_.resize(size_t(rows) * width);
    nearestRow_.resize(width);
    heights_.resize(width);
    sites_.resize(width);
    starts_.resize(width);
    VerticalPass(firstRow, rows);
    // Sixteen columns at a time, so the writes stay within a few cache lines.
    columnByColumn_.resize(distSq_.size());
    distSqByColumn_.resize(distSq_.size());
    for (size_t x0 = 0; x0 < width; x0 += 16)
        for (int32_t i = 0; i < rows; ++i)
            for (size_t x = x0; x < std::min(width, x0 + 16); ++x) {
                const size_t at = size_t(i) * width + x;
                columnByColumn_[x * size_t(rows) + size_t(i)] =
                    uint16_t(std::min(distSq_[at], kUnsure) | uint32_t(sides_[at]) << kSidesShift);
            }

    for (int32_t i = 0; i < rows; ++i) {
        // Each run of black pixels on its own: the colour pixels that end it
        // are nearer to every pixel of the run than anything beyond them, so
        // the run and its two ends are all the row pass needs to look at.
        const uint64_t* mask = MaskRow(firstRow + i);
        uint32_t* row = distSq_.data() + size_t(i) * width;
        auto isColour = [&](size_t x) { return (mask[x / 64] >> (x % 64) & 1) != 0; };
        for (size_t x = 0; x < width;) {
            if (isColour(x)) {
                // Whole words of colour at once.
                if (x % 64 == 0 && x + 64 <= width && mask[x / 64] == ~uint64_t(0))
                    x += 64;
                else
                    ++x;
                continue;
            }
            size_t end = x + 1;
            while (end < width && !isColour(end)) ++end;
            RowPass(row, i, int32_t(x == 0 ? 0 : x - 1), int32_t(end == width ? end : end + 1));
            x = end;
        }
    }
}

// Each pixel's distance to the nearest colour in its own column, as far as
// cap_: first looking up (through the rows above the strip, then down the
// strip), then down. 64 columns are looked at together above and below the
// strip, where a deep black area would otherwise cost cap_ rows per column.
void CStripDistances::VerticalPass(int32_t firstRow, int32_t rows) {
    const int32_t width = image_.width, height = image_.height;
    const int32_t lastRow = firstRow + rows - 1;
    const int64_t cap = cap_;

    auto nearestOutside = [&](int32_t from, int32_t step, int32_t none) {
        const int64_t limit = step < 0 ? std::max<int64_t>(0, int64_t(from) - cap + 1)
                                       : std::min<int64_t>(height - 1, int64_t(from) + cap - 1);
        for (size_t w = 0; w < words_; ++w) {
            const size_t used = std::min<size_t>(64, size_t(width) - w * 64);
            uint64_t pending = used == 64 ? ~uint64_t(0) : (uint64_t(1) << used) - 1;
            for (int64_t r = from; pending && (step < 0 ? r >= limit : r <= limit); r += step) {
                uint64_t hits = MaskRow(int32_t(r))[w] & pending;
                pending &= ~hits;
                for (; hits; hits &= hits - 1)
                    nearestRow_[w * 64 + size_t(std::countr_zero(hits))] = int32_t(r);
            }
            for (; pending; pending &= pending - 1)
                nearestRow_[w * 64 + size_t(std::countr_zero(pending))] = none;
        }
    };

    // "None" sits cap_ + 1 rows away, which the cap turns into cap_.
    nearestOutside(firstRow - 1, -1, int32_t(firstRow - cap - 1));
    for (int32_t y = firstRow; y <= lastRow; ++y) {
        const uint64_t* mask = MaskRow(y);
        uint32_t* out = distSq_.data() + size_t(y - firstRow) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            if (mask[size_t(x) / 64] >> (x % 64) & 1) nearestRow_[size_t(x)] = y;
            out[x] = uint32_t(std::min<int64_t>(y - nearestRow_[size_t(x)], cap));
        }
    }
    nearestOutside(lastRow + 1, +1, int32_t(std::min<int64_t>(int64_t(lastRow) + cap + 1, INT32_MAX)));
    for (int32_t y = lastRow; y >= firstRow; --y) {
        const uint64_t* mask = MaskRow(y);
        uint32_t* out = distSq_.data() + size_t(y - firstRow) * size_t(width);
        uint8_t* sides = sides_.data() + size_t(y - firstRow) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            if (mask[size_t(x) / 64] >> (x % 64) & 1) nearestRow_[size_t(x)] = y;
            const auto up = int64_t(out[x]),
                       down = std::min<int64_t>(int64_t(nearestRow_[size_t(x)]) - y, cap);
            const int64_t nearest = std::min(up, down);
            sides[x] = uint8_t((up == nearest ? kAbove : 0) | (down == nearest ? kBelow : 0));
            out[x] = uint32_t(nearest);
        }
    }
}

// The lower envelope of the parabolas (x - i)² + h(i)² along one row, in
// integer arithmetic so that ties come out exact (Meijster, Roerdink and
// Hesselink's separable transform). Columns with no colour within cap_ are
// left out: whatever they would give lies beyond the reach anyway, and in a
// deep black area that is most of them. Reads the column distances of
// columns from .. to - 1 of the strip's row `stripRow`, and writes their
// squared distances.
void CStripDistances::RowPass(const uint32_t* fullRow, int32_t stripRow, int32_t from, int32_t to) {
    const uint32_t* row = fullRow + from;
    const int64_t width = to - from;
    for (int64_t i = 0; i < width; ++i) heights_[size_t(i)] = int64_t(row[i]) * row[i];
    auto f = [&](int64_t x, int64_t i) { return (x - i) * (x - i) + heights_[size_t(i)]; };
    // The last x at which the parabola of i (i < u) is still no higher than
    // that of u; never negative here, since i wins at its own start.
    auto separation = [&](int64_t i, int64_t u) {
        const int64_t num = u * u - i * i + heights_[size_t(u)] - heights_[size_t(i)], den = 2 * (u - i);
        auto q = int64_t(double(num) / double(den));
        while (q * den > num) --q;
        while ((q + 1) * den <= num) ++q;
        return q;
    };

    int64_t q = -1;
    for (int64_t u = 0; u < width; ++u) {
        if (row[u] >= cap_) continue;
        while (q >= 0 && f(starts_[size_t(q)], sites_[size_t(q)]) > f(starts_[size_t(q)], u)) --q;
        if (q < 0) {
            q = 0;
            sites_[0] = int32_t(u);
            starts_[0] = 0;
        } else {
            const int64_t start = 1 + separation(sites_[size_t(q)], u);
            if (start < width) {
                ++q;
                sites_[size_t(q)] = int32_t(u);
                starts_[size_t(q)] = int32_t(start);
            }
        }
    }
    uint32_t* out = distSqByColumn_.data() + size_t(from) * size_t(rows_) + size_t(stripRow);
    const size_t step = size_t(rows_);
    if (q < 0) {
        for (int64_t u = 0; u < width; ++u) out[size_t(u) * step] = beyond_;
        return;
    }
    for (int64_t u = width - 1; u >= 0; --u) {
        out[size_t(u) * step] = uint32_t(std::min<int64_t>(f(u, sites_[size_t(q)]), beyond_));
        if (u == starts_[size_t(q)]) --q;
    }
}
