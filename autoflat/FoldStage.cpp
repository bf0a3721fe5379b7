// Small regions folded into their neighbours, hinted ones and spot blacks
// kept, and the final regions numbered.
#include <algorithm>
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
// Each pixel looks at its own neighbours, so rows are marked apart.
void MarkClosedGaps(const uint32_t* before, uint32_t firstSpot, const uint32_t* regions, int32_t width,
                    int32_t height, uint8_t* marks, int workers) {
    auto open = [&](int64_t i) { return before[i] != kLine && before[i] < firstSpot; };
    ForEachPart(workers, height, 16, [&](int64_t y0, int64_t y1) {
        for (int64_t y = y0; y < y1; ++y)
            for (int64_t x = 0; x < width; ++x) {
                const int64_t i = y * width + x;
                if (!open(i)) continue;
                auto seam = [&](int64_t j) { return open(j) && regions[i] != regions[j]; };
                if ((x + 1 < width && seam(i + 1)) || (x > 0 && seam(i - 1)) ||
                    (y + 1 < height && seam(i + width)) || (y > 0 && seam(i - width)))
                    marks[i] |= kMarkClosedGap;
            }
    });
}

// Final labels from 0, in order of first appearance, found part by part;
// each region's first pixel is also its anchor for the colours.
void NumberRegions(SPageRun& run) {
    std::vector<uint32_t>& melted = run.distance;
    const std::vector<uint32_t>& into = run.into;
    const uint32_t labelEnd = run.labelEnd;
    std::vector<uint64_t> first(labelEnd, UINT64_MAX);
    std::mutex firstLock;
    ForEachPart(run.workers, run.size, 1 << 16, [&](int64_t begin, int64_t end) {
        std::vector<uint64_t> part(labelEnd, UINT64_MAX);
        for (int64_t i = begin; i < end; ++i) {
            uint64_t& at = part[into[melted[size_t(i)]]];
            if (at == UINT64_MAX) at = uint64_t(i);
        }
        std::lock_guard<std::mutex> guard(firstLock);
        for (uint32_t label = 0; label < labelEnd; ++label)
            first[label] = std::min(first[label], part[label]);
    });
    std::vector<uint32_t> order;
    for (uint32_t root = 0; root < labelEnd; ++root)
        if (first[root] != UINT64_MAX) order.push_back(root);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return first[a] < first[b]; });
    std::vector<uint32_t>& final = run.final;
    final.assign(labelEnd, kOpen);
    run.regionCount = uint32_t(order.size());
    run.anchors.resize(order.size());
    const uint64_t width = uint64_t(run.width);
    for (uint32_t region = 0; region < run.regionCount; ++region) {
        final[order[region]] = region;
        const uint64_t at = first[order[region]];
        run.anchors[region] = (at / width) << 32 | at % width;
    }
    ForEachPart(run.workers, run.size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) melted[size_t(i)] = final[into[melted[size_t(i)]]];
    });
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

    NumberRegions(run);

    if (run.settings.pixelMarks)
        MarkClosedGaps(run.labels.data(), run.firstSpot, melted.data(), run.width, run.height,
                       run.result.marks.data(), run.workers);
}

}  // namespace autoflat
