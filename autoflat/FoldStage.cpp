// Small regions folded into their neighbours, hinted ones and spot blacks
// kept, and the final regions numbered.
#include <mutex>

#include "autoflat/HintColours.h"
#include "autoflat/PageStages.h"
#include "autoflat/Workers.h"

namespace autoflat {

namespace {

void CollectHints(SPageRun& run, const uint32_t* melted, const FWorkDone& done) {
    run.hinted = HintColours(run.page, run.reader, melted, run.labelEnd, run.workers, done);
    if (!run.hints) return;
    const CPixelReader hintReader(run.hints->kind, run.limits);
    // The hints page's own votes decide where it has any: it is the
    // colourist's explicit word, every colour of it.
    const auto fromPage =
        HintColours(*run.hints, hintReader, melted, run.labelEnd, run.workers, done, EHintSource::HintsPage);
    for (uint32_t label = 0; label < run.labelEnd; ++label)
        if (fromPage[label].first) run.hinted[label] = fromPage[label];
}

// Seams between regions that no line art parts: both sides are region
// pixels before the melt (labels 1 .. firstSpot - 1; spot blacks are line
// art that became regions, and their edges are drawn), in two final regions.
void MarkClosedGaps(const uint32_t* before, uint32_t firstSpot, const uint32_t* regions, int32_t width,
                    int32_t height, uint8_t* marks) {
    auto open = [&](int64_t i) { return before[i] != kLine && before[i] < firstSpot; };
    for (int64_t y = 0; y < height; ++y)
        for (int64_t x = 0; x < width; ++x) {
            const int64_t i = y * width + x;
            if (!open(i)) continue;
            if (x + 1 < width && open(i + 1) && regions[i] != regions[i + 1]) {
                marks[i] |= kMarkClosedGap;
                marks[i + 1] |= kMarkClosedGap;
            }
            if (y + 1 < height && open(i + width) && regions[i] != regions[i + width]) {
                marks[i] |= kMarkClosedGap;
                marks[i + width] |= kMarkClosedGap;
            }
        }
}

}  // namespace

void FoldRegions(SPageRun& run) {
    run.progress.At(0.8, "merging small regions");
    std::vector<uint32_t>& melted = run.distance;
    const uint32_t labelEnd = run.labelEnd;
    const uint64_t pages = run.hints ? 3 : 2;
    CStageProgress stage(run.progress, 0.8, 0.85, "merging small regions",
                         pages * uint64_t(run.size) + labelEnd);
    CollectHints(run, melted.data(), stage.Reporter());
    std::vector<uint64_t> area(labelEnd, 0);
    std::mutex areaLock;
    ForEachPart(run.workers, run.size, 1 << 16, [&](int64_t begin, int64_t end) {
        std::vector<uint64_t> part(labelEnd, 0);
        for (int64_t i = begin; i < end; ++i) {
            const uint32_t value = run.labels[size_t(i)];
            if (value != kLine && value < labelEnd) ++part[value];
        }
        std::lock_guard<std::mutex> guard(areaLock);
        for (uint32_t label = 0; label < labelEnd; ++label) area[label] += part[label];
    });
    std::vector<bool> keep(labelEnd, false);
    keep[0] = true;
    for (uint32_t label = 0; label < labelEnd; ++label)
        if (run.hinted[label].first || label >= run.firstSpot) keep[label] = true;
    run.borders = Borders(melted.data(), run.width, run.height, 1, run.workers, stage.Reporter());
    run.into = FoldSmallRegions(area, keep, run.borders, uint64_t(run.result.minRegion), stage.Reporter());
    JoinBackground(run, area);

    // Final labels from 0, in order of first appearance.
    std::vector<uint32_t>& final = run.final;
    const std::vector<uint32_t>& into = run.into;
    final.assign(labelEnd, kOpen);
    run.regionCount = 0;
    for (const uint32_t value : melted) {
        const uint32_t root = into[value];
        if (final[root] == kOpen) final[root] = run.regionCount++;
    }
    ForEachPart(run.workers, run.size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) melted[size_t(i)] = final[into[melted[size_t(i)]]];
    });

    if (run.settings.pixelMarks)
        MarkClosedGaps(run.labels.data(), run.firstSpot, melted.data(), run.width, run.height,
                       run.result.marks.data());
}

}  // namespace autoflat
