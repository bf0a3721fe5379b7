// The stages of one Auto Flats run, in the order AutoFlat calls them, and the
// state they hand on: classify the pixels, close the gaps, label what the
// gaps enclose, find spot blacks, melt the lines, fold small regions, choose
// the colours and paint the flats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "autoflat/PixelClasses.h"
#include "autoflat/RegionLabels.h"
#include "autoflat/RunControl.h"
#include "autoflat/SmallRegions.h"

namespace autoflat {

std::ptrdiff_t RowBytes(const SPageView& view);

struct SPageRun {
    SPageRun(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
             const CRunProgress& progress);

    const SPageView& page;
    const SPageView* hints;
    const SAutoFlatSettings& settings;
    const CRunProgress& progress;
    const int workers;
    const int32_t width, height;
    const int64_t size;
    const SClassLimits limits;
    const CPixelReader reader;
    const std::ptrdiff_t rowBytes;
    SAutoFlatResult result;
    int64_t gap = 0;
    int64_t spotDepth = 0;

    // The classes (kLine or kOpen), then the regions as gap closing and the
    // spot blacks left them: line pixels stay kLine.
    std::vector<uint32_t> labels;
    // Squared distances while the regions are found, then the labels after
    // the melt, then the final regions.
    std::vector<uint32_t> distance;
    // Labels 1 .. firstClosed - 1 grew from cores, firstClosed .. firstSpot - 1
    // are enclosed all round, firstSpot .. labelEnd - 1 are spot blacks.
    uint32_t firstClosed = 1, firstSpot = 1, labelEnd = 1;

    // Ink specks hidden from gap closing while the distances are measured
    // (1 a pixel; empty when there are none).
    std::vector<uint8_t> texture;
    // Per label as gap closing left it: the squared distance of its deepest
    // pixel from the line art, and whether it touches the page's edge.
    std::vector<uint32_t> reach;
    std::vector<uint8_t> atEdge;

    // What the fold leaves: each label's hint colour, the borders after the
    // melt, the label each ends in and its final region.
    std::vector<std::pair<bool, SColour>> hinted;
    std::vector<SBorder> borders;
    std::vector<uint32_t> into, final;
    uint32_t regionCount = 0;
    // Per final region, its first pixel in reading order, as y << 32 | x.
    std::vector<uint64_t> anchors;
    std::vector<SColour> colours;  // per final region

    SLabelMap Labels() { return {width, height, labels.data()}; }
};

void ClassifyPixels(SPageRun& run);
void HideTexture(SPageRun& run);
void ShowTexture(SPageRun& run);
void CloseGaps(SPageRun& run);
void LabelEnclosed(SPageRun& run);
void MeasureRegions(SPageRun& run);
void FindSpotBlacks(SPageRun& run);
void MeltLines(SPageRun& run);
void FoldRegions(SPageRun& run);
// Within FoldRegions, after small regions fold: the background rules
// (BackgroundRules.h) join roots of run.into; `area` is each label's pixels
// before the melt.
void JoinBackground(SPageRun& run, const std::vector<uint64_t>& area);
void ChooseColours(SPageRun& run);
void PaintFlats(SPageRun& run);

}  // namespace autoflat
