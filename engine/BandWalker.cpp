#include "engine/BandWalker.h"

#include <algorithm>

#include "engine/FlatStrip.h"

CBandWalker::CBandWalker(const SFlatImage& image, CPixelDistance& search, const SPassSettings& settings,
                         CSharedSquareSums* sharedSums)
    : image_(image), search_(search), paintWhite_(settings.paintWhite) {
    search_.LimitGrowthToImage(image.width, image.height);
    if (settings.method == EFlatMethod::DistanceAssisted)
        fastPath_.emplace(image, search_, paintWhite_, sharedSums);
}

void CBandWalker::Walk(int32_t firstRow, int32_t endRow, int32_t stripRows, const SBandHooks& hooks) {
    const int32_t step = std::max<int32_t>(stripRows, 1);
    int32_t rowsSoFar = 0;
    for (int32_t row = firstRow; row < endRow; row += step) {
        const int32_t rows = std::min(step, endRow - row);
        if (hooks.stripStarting) hooks.stripStarting(row);
        const bool whole = fastPath_ ? fastPath_->FlatStrip(row, rows, hooks.stop)
                                     : FlatStrip(row, rows, image_, search_, paintWhite_, hooks.stop);
        if (hooks.abandoned && hooks.abandoned()) return;
        if (!whole) {
            UndoStrip(row, rows, image_);
            return;
        }
        rowsSoFar += rows;
        if (hooks.stripDone && !hooks.stripDone(rowsSoFar)) return;
    }
}
