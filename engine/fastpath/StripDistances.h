// Squared distance from each pixel of a strip to the nearest non-black pixel
// of the whole image: an exact Euclidean distance transform, computed one
// strip at a time so that a band only pays for the strips that need it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/FlatImage.h"

class CStripDistances {
public:
    // Distances beyond `reach` all look alike to the pass (too deep), so
    // they are stored as reach² + 1 and only `reach` + 1 rows above and below
    // a strip are ever looked at.
    CStripDistances(const SFlatImage& image, uint32_t reach);

    // Rows firstRow .. firstRow + rows - 1; replaces the previous strip.
    void Compute(int32_t firstRow, int32_t rows);

    // Valid for the rows of the last Compute.
    uint32_t DistSq(int32_t x, int32_t y) const { return distSqByColumn_[Index(x, y)]; }
    uint32_t Beyond() const { return beyond_; }
    bool HasRow(int32_t y) const { return y >= firstRow_ && y - firstRow_ < rows_; }

    // Whether a colour may lie `rows` rows above or below (x, y) of the strip,
    // for a pixel at the distance of the nearest colour of some pixel of row
    // y. A colour there is the nearest one in its own column (anything nearer
    // in the column would be nearer to that pixel too), so row y's column
    // distances, with the sides they were met on, tell: MayHold rules
    // columns out, IsColourAt answers (both certain below kUnsure rows).
    bool ColumnMayHold(int32_t x, int32_t y, uint32_t rows) const {
        const uint32_t held = columnByColumn_[Index(x, y)] & kDistMask;
        return held == rows || held == kUnsure;
    }
    bool IsColourAt(int32_t x, int32_t y, int32_t rowOffset) {
        const uint32_t held = columnByColumn_[Index(x, y)];
        if ((held & kDistMask) == kUnsure) return IsColour(x, y + rowOffset);
        const uint32_t rows = uint32_t(rowOffset < 0 ? -int64_t(rowOffset) : rowOffset);
        if ((held & kDistMask) != rows) return false;
        return rowOffset == 0 || (held >> kSidesShift & (rowOffset < 0 ? kAbove : kBelow)) != 0;
    }

    // Whether (x, y) is colour (not black), from the mask the transform
    // reads: one bit instead of the pixel's planes.
    bool IsColour(int32_t x, int32_t y) {
        const uint64_t* row = maskBuilt_[size_t(y)] ? mask_.get() + size_t(y) * words_ : MaskRow(y);
        return row[size_t(x) / 64] >> (x % 64) & 1;
    }

private:
    // The answers are kept column by column, the order in which the walk
    // goes down (and up) a strip, so that a pixel's questions about nearby
    // columns hit the cache lines its neighbour's questions brought in.
    size_t Index(int32_t x, int32_t y) const { return size_t(x) * size_t(rows_) + size_t(y - firstRow_); }
    const uint64_t* MaskRow(int32_t y);
    void VerticalPass(int32_t firstRow, int32_t rows);
    void RowPass(const uint32_t* row, int32_t stripRow, int32_t from, int32_t to);

    SFlatImage image_;
    uint32_t cap_;     // reach + 1: a column farther than this is as good as none
    uint32_t beyond_;  // reach² + 1
    size_t words_;     // 64-bit words per mask row
    // One bit per pixel, set for colour (non-black), made a row at a time on
    // first use. Left uninitialised so that rows never used cost no memory.
    std::unique_ptr<uint64_t[]> mask_;
    std::vector<uint8_t> maskBuilt_;
    int32_t firstRow_ = 0;
    int32_t rows_ = 0;
    std::vector<uint32_t> distSq_;  // the strip's rows, each `width` long, while they are worked out
    std::vector<uint32_t> distSqByColumn_;
    // The column distance, and on which sides the nearest colour in the
    // column lies at that distance.
    // Two bytes, as the walk asks these at random within the depth and they
    // had best stay in the nearest cache: distances from kUnsure up are
    // held as kUnsure and looked up in the mask.
    static constexpr uint32_t kSidesShift = 14, kDistMask = (uint32_t(1) << kSidesShift) - 1,
                              kUnsure = kDistMask;
    static constexpr uint8_t kAbove = 1, kBelow = 2;
    std::vector<uint16_t> columnByColumn_;
    std::vector<uint8_t> sides_;  // row by row while worked out
    std::vector<int32_t> nearestRow_;
    std::vector<int64_t> heights_;  // one row's squared column distances
    std::vector<int32_t> sites_, starts_;
};
