#include "engine/StripDistances.h"

#include <algorithm>
#include <bit>

#include "engine/FlatStrip.h"

CStripDistances::CStripDistances(const SFlatImage& image, uint32_t reach)
    : image_(image), cap_(reach + 1), beyond_(uint32_t(uint64_t(reach) * reach + 1)),
      words_((size_t(image.width) + 63) / 64), maskBuilt_(image.height, 0) {}

const uint64_t* CStripDistances::MaskRow(int32_t y) {
    if (!mask_) mask_ = std::make_unique_for_overwrite<uint64_t[]>(words_ * size_t(image_.height));
    uint64_t* row = mask_.get() + size_t(y) * words_;
    if (maskBuilt_[size_t(y)]) return row;
    std::fill(row, row + words_, 0);
    for (int32_t x = 0; x < image_.width; ++x)
        if (!IsBlackPixel(image_.InPixel(x, y), image_.inPlaneBytes, image_.planeCount, image_.isCmyk))
            row[size_t(x) / 64] |= uint64_t(1) << (x % 64);
    maskBuilt_[size_t(y)] = 1;
    return row;
}

void CStripDistances::Compute(int32_t firstRow, int32_t rows) {
    firstRow_ = firstRow;
    const size_t width = image_.width;
    distSq_.resize(size_t(rows) * width);
    nearestRow_.resize(width);
    heights_.resize(width);
    sites_.resize(width);
    starts_.resize(width);
    VerticalPass(firstRow, rows);

    for (int32_t i = 0; i < rows; ++i) {
        // A row of colour only is never asked about.
        const uint64_t* mask = MaskRow(firstRow + i);
        bool anyBlack = false;
        for (size_t w = 0; w < words_ && !anyBlack; ++w) {
            const size_t used = std::min<size_t>(64, width - w * 64);
            const uint64_t all = used == 64 ? ~uint64_t(0) : (uint64_t(1) << used) - 1;
            anyBlack = (mask[w] & all) != all;
        }
        if (anyBlack) RowPass(distSq_.data() + size_t(i) * width);
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
                for (; hits; hits &= hits - 1) nearestRow_[w * 64 + size_t(std::countr_zero(hits))] = int32_t(r);
            }
            for (; pending; pending &= pending - 1) nearestRow_[w * 64 + size_t(std::countr_zero(pending))] = none;
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
        for (int32_t x = 0; x < width; ++x) {
            if (mask[size_t(x) / 64] >> (x % 64) & 1) nearestRow_[size_t(x)] = y;
            out[x] = uint32_t(std::min<int64_t>(out[x], int64_t(nearestRow_[size_t(x)]) - y));
        }
    }
}

// The lower envelope of the parabolas (x - i)² + h(i)² along one row, in
// integer arithmetic so that ties come out exact (Meijster, Roerdink and
// Hesselink's separable transform). The row holds the column distances on
// entry and the squared distances on return.
void CStripDistances::RowPass(uint32_t* row) {
    const int64_t width = image_.width;
    for (int64_t i = 0; i < width; ++i) heights_[size_t(i)] = int64_t(row[i]) * row[i];
    auto f = [&](int64_t x, int64_t i) { return (x - i) * (x - i) + heights_[size_t(i)]; };
    // Where the parabola of u starts to lie below that of i (u > i).
    auto separation = [&](int64_t i, int64_t u) {
        return (u * u - i * i + heights_[size_t(u)] - heights_[size_t(i)]) / (2 * (u - i));
    };

    int64_t q = 0;
    sites_[0] = 0;
    starts_[0] = 0;
    for (int64_t u = 1; u < width; ++u) {
        while (q >= 0 && f(starts_[size_t(q)], sites_[size_t(q)]) > f(starts_[size_t(q)], u)) --q;
        if (q < 0) {
            q = 0;
            sites_[0] = int32_t(u);
        } else {
            const int64_t start = 1 + separation(sites_[size_t(q)], u);
            if (start < width) {
                ++q;
                sites_[size_t(q)] = int32_t(u);
                starts_[size_t(q)] = int32_t(start);
            }
        }
    }
    for (int64_t u = width - 1; u >= 0; --u) {
        row[u] = uint32_t(std::min<int64_t>(f(u, sites_[size_t(q)]), beyond_));
        if (u == starts_[size_t(q)]) --q;
    }
}
