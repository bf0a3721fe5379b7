// The fast path: the strip walk with a distance transform beside the
// search. A black pixel whose scan is settled by its distance to the
// nearest colour gets the scan's answer and hint without the scan; every
// other pixel is scanned. The output, hints included, is that of FlatStrip,
// pixel for pixel; only the time differs, and depth no longer costs time
// inside large black areas.
//
// The rules it stands on, each with what holds it exact and the test that
// holds it to the plain scan (tests/engine):
//
//  1. The scan. From the first offset of distance² G² (the hint), in
//     search order, it reads each offset inside the image and counts those
//     outside, eight in a row giving up. Every pixel read closer than the
//     nearest colour (distance² d) is black, so the scan ends on the first
//     colour among the groups at d, at the depth, or on the eighth outside
//     offset in a row, having read the last inside offset before it.
//     The transform gives d exactly (StripDistances.*: StripDistances.*).
//  2. Two neighbouring edges. A group's offsets go round the pixel, so
//     against two neighbouring edges at most six in a row lie outside and
//     the scan cannot give up (GiveUpImpossible: ScanShortcut.NoEight...).
//  3. Pairings. Where the right edge lies at least b columns away and the
//     bottom edge at least k rows, the group (k, b) has its offset (b, k)
//     inside: its second offset ((b, 0) for (0, b), the first for (b, b)),
//     so at most one before it and six after it lie outside, and a run
//     outside across two such groups is at most 7 long. Likewise, offset by
//     offset, for the other pairings of a side with the edge next to it
//     (kEdgePairings), all but bottom with left: an axis group (0, b) may end
//     in three outside offsets and the next begin with seven. Among
//     consecutive groups that all meet one pairing the scan cannot give up
//     (OnePairingHolds, CSafeStretches: ScanShortcut.SettlesAScanAcross...,
//     DepthFamilies.*).
//  4. The shortcut. Where 2 or 3 covers every group out to d, the scan's
//     colour is the first in search order at d (ScanShortcut.h:
//     ScanShortcut.GivesTheScansColourAndHint..., ScanShortcut.*Ties...).
//  5. Resuming. None of the groups a stretch vouches for lies wholly
//     outside, so a window of eight that gives up past a stretch begins
//     inside its last group at the earliest: resuming one group before its
//     end with the count at zero finds the same give-up and the same last
//     pixel read. A run outside still open where a stretch begins is the
//     exception: the group it came from must meet the pairing too
//     (CScanReplay::StepOver: DepthFamilies.EveryReplayedScanEnds...).
//  6. Whole rings. Which offsets of a group lie inside depends only on its
//     k and b against the margins, so a ring's groups of eight fall in a
//     few classes, the same over spans of rings. Where none is wholly
//     outside and no class's tail plus any class's head reaches eight, no
//     eight in a row lie outside among them (GroupClasses.*:
//     GroupClasses.EverySpanHolds...). The one or two groups of four a ring
//     holds keep their class within a span and are checked against their
//     actual neighbours, and so is the pair where one span meets the next
//     (CRingSkip).
//  7. The previous scan's resume point. Where every margin is as large as
//     the last scan's, or past every offset of the rings it stepped over,
//     no offset inside for that scan lies outside for this one, so the
//     place it resumed at holds for this one too, from the same or a
//     smaller hint (CScanReplay::TakeFromEarlier: DepthFamilies.*).
//  8. The hint a scan leaves: the largest ring a whose axis offset (±a, 0)
//     it examined inside the image, worked out from where it ended
//     (HintAfter: ScanShortcut.GivesTheScansColourAndHint..., DepthFamilies.*).
//  9. The facts of the rings the rules use, floor(r/√2) and rings 5 and 10
//     whose axis comes last among their distance, are argued in
//     RingFacts.h (OffsetOrder.TiesGoToTheLargerRingExcept...,
//     ScanShortcut.TheReplaysRingsListADistancesGroups...).
// 10. The budget. A strip starts with the plain search until its scans have
//     cost what a transform does, and a plain scan stops growing where it
//     would pass that: one that ends sooner ends as it would anyway, one
//     that reaches the limit is left to rules 4-7
//     (ScanWithinBudget: DepthFamilies.APlainScanStops...).
//
// The whole is held to the plain search byte for byte by the differential
// tests (Differential.*, PassDifferential.*, BandDifferential.*,
// DepthFamilies.MostlyBlackPages..., Examples.*, NoMemory.*).
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
    void TakeColour(int32_t x, int32_t y, int32_t step, int32_t dx, int32_t dy);
    void PaintWhite(int32_t x, int32_t y);
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
