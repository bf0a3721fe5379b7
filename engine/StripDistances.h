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

    // Distance from (x, y) of the strip to the nearest colour in column x,
    // capped at reach + 1 and at 65535 (where it may then be larger). A colour pixel at distance d from a pixel of row
    // y whose nearest colour is d away must lie exactly this far from row y
    // in its own column: a test on the pixel's own row that spares most
    // reads of rows far away.
    uint16_t ColumnDist(int32_t x, int32_t y) const { return columnDistByColumn_[Index(x, y)]; }

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
    std::vector<uint16_t> columnDistByColumn_;  // two bytes: the walk asks it a lot
    std::vector<int32_t> nearestRow_;
    std::vector<int64_t> heights_;  // one row's squared column distances
    std::vector<int32_t> sites_, starts_;
};
