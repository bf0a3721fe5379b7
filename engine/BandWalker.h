// The walk over a band of rows, strip by strip from the band's first row:
// the single-threaded pass walks the whole image as one band, each worker of
// the threaded pass its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/fastpath/FastPathStrips.h"
#include "engine/FlatImage.h"
#include "engine/PassSettings.h"
#include "engine/PixelDistance.h"
#include "engine/StripStop.h"

// What the walk tells its owner, and asks it, between and inside strips.
struct SBandHooks {
    // Before the strip that begins at `row`; may be empty.
    std::function<void(int32_t row)> stripStarting;
    // Asked inside a strip; a strip left on its word is undone, not counted,
    // and ends the walk. May be null.
    CStripStop* stop = nullptr;
    // After each strip: the pass has failed, and the walk ends at once
    // without reporting the strip. May be empty.
    std::function<bool()> abandoned;
    // After each whole strip, with the band's rows done so far; false ends
    // the walk there. May be empty.
    std::function<bool(int32_t rowsSoFar)> stripDone;
};

class CBandWalker {
public:
    // `search` is the walker's own for as long as it lives, its maxRings
    // already set from the depth; its growth is limited here to the image.
    // `sharedSums`, when given, serves every band of the pass.
    CBandWalker(const SFlatImage& image, CPixelDistance& search, const SPassSettings& settings,
                CSharedSquareSums* sharedSums = nullptr);

    // Rows firstRow .. endRow - 1, in strips of stripRows counted from
    // firstRow; the last strip may be shorter.
    void Walk(int32_t firstRow, int32_t endRow, int32_t stripRows, const SBandHooks& hooks = {});

    // The fast path's walk, for tests and tuning; null with the plain
    // search.
    CFastPathStrips* FastPath() { return fastPath_ ? &*fastPath_ : nullptr; }

private:
    const SFlatImage& image_;
    CPixelDistance& search_;
    bool paintWhite_;
    std::optional<CFastPathStrips> fastPath_;
};
