#include "engine/FlatStrip.h"

#include <cstdlib>

#include "engine/StripOrder.h"

namespace {

void CopyPixel(const SFlatImage& image, const uint8_t* from, uint8_t* to) {
    for (int k = 0; k < image.planeCount; ++k)
        to[k * std::ptrdiff_t(image.outPlaneBytes)] = from[k * std::ptrdiff_t(image.inPlaneBytes)];
}

}  // namespace

bool IsBlackPixel(const uint8_t* pixel, int32_t planeStep, uint16_t planeCount, bool isCmyk) {
    return IsBlackInline(pixel, planeStep, planeCount, isCmyk);
}

void FlatPixel(int32_t x, int32_t y, const SFlatImage& image, CPixelDistance& search, bool paintWhite,
               uint16_t& hintDistance) {
    const uint8_t* pixel = image.InPixel(x, y);
    if (!IsBlackInline(pixel, image.inPlaneBytes, image.planeCount, image.isCmyk)) {
        hintDistance = 1;
        return;
    }

    search.SetCentre(x, y, image.width, image.height);
    if (hintDistance > 1) --hintDistance;
    const uint8_t* lastRead = pixel;

    int32_t dx = 0, dy = 0;
    for (bool found = search.FirstCandidate(hintDistance, dx, dy); found;
         found = search.NextCandidate(dx, dy)) {
        // Only a candidate on the pixel's own row bounds the next pixel's
        // distance: the next pixel is a neighbour along the walk, and this
        // is what the filter has always used.
        if (dy == 0) hintDistance = uint16_t(std::abs(dx));
        lastRead = image.InPixel(x + dx, y + dy);
        if (!IsBlackInline(lastRead, image.inPlaneBytes, image.planeCount, image.isCmyk)) {
            CopyPixel(image, lastRead, image.OutPixel(x, y));
            return;
        }
    }

    if (search.exhausted) {
        if (!paintWhite) return;
        uint8_t* out = image.OutPixel(x, y);
        for (int k = 0; k < image.planeCount; ++k) out[k * std::ptrdiff_t(image.outPlaneBytes)] = kWhiteByte;
    } else {
        // The search gave up at the image border without an answer; the
        // filter has always copied the last pixel it looked at.
        CopyPixel(image, lastRead, image.OutPixel(x, y));
    }
}

bool FlatStrip(int32_t firstRow, int32_t rows, const SFlatImage& image, CPixelDistance& search,
               bool paintWhite, CStripStop* stop) {
    uint16_t hintDistance = 1;
    return WalkStripPixels(firstRow, rows, image.width, stop, [&](int32_t x, int32_t y, int32_t) {
        FlatPixel(x, y, image, search, paintWhite, hintDistance);
    });
}

void UndoStrip(int32_t firstRow, int32_t rows, const SFlatImage& image) {
    for (int32_t y = firstRow; y < firstRow + rows; ++y)
        for (int32_t x = 0; x < image.width; ++x) {
            const uint8_t* pixel = image.InPixel(x, y);
            if (IsBlackInline(pixel, image.inPlaneBytes, image.planeCount, image.isCmyk))
                CopyPixel(image, pixel, image.OutPixel(x, y));
        }
}
