// The lines melted into their regions, and what the melt could not reach.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "autoflat/DistanceTransform.h"
#include "autoflat/LabelMelt.h"
#include "autoflat/PageStages.h"
#include "autoflat/Workers.h"

namespace autoflat {

namespace {

// Deep enough that the search reaches a region from every line pixel; the
// distances are each line pixel's to the nearest region pixel.
uint32_t MeltDepth(const SPageRun& run) {
    std::atomic<uint64_t> deepest{0};
    ForEachPart(run.workers, run.size, 4096, [&](int64_t begin, int64_t end) {
        uint64_t part = 0;
        for (int64_t i = begin; i < end; ++i)
            if (run.labels[size_t(i)] == kLine) part = std::max<uint64_t>(part, run.distance[size_t(i)]);
        for (uint64_t seen = deepest.load(); seen < part && !deepest.compare_exchange_weak(seen, part);) {
        }
    });
    const uint64_t reach =
        uint64_t(std::ceil(std::sqrt(double(std::min<uint64_t>(deepest.load(), kFarAway)))));
    return uint32_t(std::min<uint64_t>(reach + 1, UINT16_MAX));
}

}  // namespace

void MeltLines(SPageRun& run) {
    run.result.meltDepth = MeltDepth(run);
    run.progress.At(0.4, "melting lines");
    std::vector<uint32_t>& melted = run.distance;
    const bool whole =
        MeltLabels(run.Labels(), melted.data(), run.result.meltDepth, run.workers,
                   [&](double done) { return run.progress.Ask(0.4 + 0.4 * done, "melting lines"); });
    if (!whole) throw CFailure(EAutoFlatStatus::Cancelled, "cancelled");
    // A search the engine gave up at the page's border leaves its pixel
    // black; it goes to the region beside it, where the flats part from the
    // filter's pass (AutoFlats.h, "Melting").
    const bool marks = run.settings.pixelMarks;
    if (marks) run.result.marks.assign(size_t(run.size), 0);
    std::atomic<bool> anyLeft{false};
    ForEachPart(run.workers, run.size, 4096, [&](int64_t begin, int64_t end) {
        bool left = false;
        for (int64_t i = begin; i < end; ++i) {
            const bool line = run.labels[size_t(i)] == kLine, gaveUp = melted[size_t(i)] == kLine;
            if (marks && line) run.result.marks[size_t(i)] = gaveUp ? kMarkLine | kMarkLeft : kMarkLine;
            if (gaveUp) {
                melted[size_t(i)] = kOpen;
                left = true;
            }
        }
        if (left) anyLeft = true;
    });
    if (anyLeft) {
        CStageProgress stage(run.progress, 0.8, 0.8, "melting lines", uint64_t(run.size));
        GrowIntoOpen({run.width, run.height, melted.data()}, stage.Reporter(), run.workers);
    }
}

}  // namespace autoflat
