// The flatting of one pixel and of one strip of rows: the work both passes
// share, whether it runs in the host's thread or on a worker.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/FlatImage.h"
#include "engine/PixelDistance.h"
#include "engine/StripStop.h"

constexpr int32_t kStripRows = 42;
constexpr uint8_t kCmykBlackLimit = 60;  // K byte below this is heavy black ink
constexpr uint8_t kRgbBlackLimit = 8;    // every plane at most this
constexpr uint8_t kWhiteByte = 255;      // every plane of a too-deep pixel painted white

// `pixel` is plane 0 of the pixel. CMYK looks at the K plane (plane 3)
// alone; RGB at the first planeCount mod 256 planes, so a count that is a
// multiple of 256 makes every pixel black.
bool IsBlackPixel(const uint8_t* pixel, int32_t planeStep, uint16_t planeCount, bool isCmyk);

// The same test, where the engine's own walks can inline it: the exported
// function is called through the shared library's symbol table, and most
// pixels of a page ask nothing else.
inline bool IsBlackInline(const uint8_t* pixel, int32_t planeStep, uint16_t planeCount, bool isCmyk) {
    if (isCmyk) return pixel[3 * std::ptrdiff_t(planeStep)] < kCmykBlackLimit;
    const int planes = uint8_t(planeCount);
    for (int k = 0; k < planes; ++k)
        if (pixel[k * std::ptrdiff_t(planeStep)] > kRgbBlackLimit) return false;
    return true;
}

// Repaints output pixel (x, y) when the input pixel is black. hintDistance
// carries, from one pixel to its 4-neighbour, the distance below which the
// previous search ruled out any colour.
void FlatPixel(int32_t x, int32_t y, const SFlatImage& image, CPixelDistance& search, bool paintWhite,
               uint16_t& hintDistance);

// Rows firstRow .. firstRow + rows - 1, column by column, down one column
// and up the next, so each pixel neighbours the one before. When `stop` is
// given and says so the strip is left before its next pixel, and false is
// returned.
bool FlatStrip(int32_t firstRow, int32_t rows, const SFlatImage& image, CPixelDistance& search,
               bool paintWhite, CStripStop* stop = nullptr);

// Puts back what the host supplied in a strip that was left unfinished: the
// pass writes only black pixels, and the host hands the output over as a
// copy of the source, so their source bytes are what was there.
void UndoStrip(int32_t firstRow, int32_t rows, const SFlatImage& image);
