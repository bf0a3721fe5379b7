// The order in which a strip's pixels are flatted, for every way of
// flatting them: column by column from the left, down the first column, up
// the next and so on. Each pixel is a 4-neighbour of the one before, which is
// what lets a pixel's search start from its neighbour's hint.
#pragma once

#include <cstdint>

#include "engine/StripStop.h"

// Calls visit(x, y, step) for every pixel of rows firstRow .. firstRow +
// rows - 1, step being the row step of the column being walked (+1 down,
// -1 up). When `stop` says so the walk is left before the next pixel and
// false is returned.
template <typename Visit>
bool WalkStripPixels(int32_t firstRow, int32_t rows, int32_t width, CStripStop* stop, Visit&& visit) {
    const int32_t lastRow = firstRow + rows - 1;
    for (int32_t x = 0; x < width; ++x) {
        const int32_t step = x % 2 == 0 ? 1 : -1;
        for (int32_t i = 0, y = step > 0 ? firstRow : lastRow; i < rows; ++i, y += step) {
            if (stop && stop->LeaveStrip()) return false;
            visit(x, y, step);
        }
    }
    return true;
}
