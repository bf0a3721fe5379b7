// The strip walk with a distance transform beside the search: a black pixel
// whose scan is settled by its distance to the nearest colour gets the
// scan's answer and hint without the scan; every other pixel is scanned.
// The output, hints included, is that of FlatStrip, pixel for pixel; only
// the time differs, and depth no longer costs time inside large black areas.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/FlatImage.h"
#include "engine/PixelDistance.h"
#include "engine/fastpath/ScanReplay.h"
#include "engine/fastpath/ScanShortcut.h"
#include "engine/fastpath/StripDistances.h"
#include "engine/StripStop.h"

// The table of sums of two squares that every band of a pass reads (up to
// 1.4 MiB): made by the first band that needs it. Every band asks for the
// same limit, since they share the depth and the image.
class CSharedSquareSums {
public:
    const scan_shortcut::CSquareSums& Get(uint32_t limit);

private:
    std::once_flag made_;
    std::unique_ptr<scan_shortcut::CSquareSums> sums_;
};

// One per band (or per pass in the host's thread), used for its strips in
// order from top to bottom. `search` is the band's search object, with its
// maxRings and growth limit already set; `sharedSums`, when given, serves
// all bands of the pass and outlives this object.
class CFastPathStrips {
public:
    CFastPathStrips(const SFlatImage& image, CPixelDistance& search, bool paintWhite,
                    CSharedSquareSums* sharedSums = nullptr);

    // As FlatStrip, `stop` included.
    bool FlatStrip(int32_t firstRow, int32_t rows, CStripStop* stop = nullptr);

    // Tests: make the transform for every strip, so that small images,
    // whose scans are cheap, take the shortcut wherever it holds.
    void AlwaysTransform() { alwaysTransform_ = true; }

    // For tests and tuning: strips whose distances were computed, black
    // pixels settled without a scan, and of those the ones whose scan was
    // replayed from the image's edges.
    int32_t TransformedStrips() const { return transformedStrips_; }
    int64_t SettledPixels() const { return settledPixels_; }
    int64_t ReplayedPixels() const { return replayedPixels_; }

private:
    bool Shortcut(int32_t x, int32_t y, int32_t step, uint16_t& hintDistance, uint64_t& saved);
    [[gnu::noinline]] void PrefetchRings(int32_t x, int32_t y, int32_t step);
    bool ScanWithinBudget(int32_t x, int32_t y, uint32_t start, uint64_t budgetLeft, uint16_t& hintDistance);
    bool Replay(int32_t x, int32_t y, int32_t step, uint32_t start, uint32_t distSq, uint16_t& hintDistance,
                uint64_t& saved);

    SFlatImage image_;
    CPixelDistance& search_;
    bool paintWhite_;
    uint32_t reach_;
    CStripDistances distances_;
    CScanReplay replay_;
    const scan_shortcut::CSquareSums* sums_ = nullptr;  // fetched with the first transform
    std::unique_ptr<CSharedSquareSums> ownSums_;
    CSharedSquareSums* sharedSums_;
    uint32_t lastSide_ = 0;    // the last settled pixel's distance, a guess for the next
    bool expectDeep_ = false;  // the previous strip needed its distances
    bool alwaysTransform_ = false;
    bool noMemory_ = false;  // a transform failed for want of memory: scan the rest
    int32_t transformedStrips_ = 0;
    int64_t settledPixels_ = 0;
    int64_t replayedPixels_ = 0;
};
