// The stages that find the regions: classes, gap closing, enclosed areas and
// spot blacks, all in the label map before any line melts.
#include <algorithm>
#include <atomic>
#include <mutex>

#include "autoflat/DistanceTransform.h"
#include "autoflat/PageStages.h"
#include "autoflat/Workers.h"

namespace autoflat {

std::ptrdiff_t RowBytes(const SPageView& view) {
    return view.rowBytes != 0 ? view.rowBytes : std::ptrdiff_t(view.width) * ChannelCount(view.kind);
}

SPageRun::SPageRun(const SPageView& page, const SPageView* hints, const SAutoFlatSettings& settings,
                   const CRunProgress& progress)
    : page(page),
      hints(hints),
      settings(settings),
      progress(progress),
      workers(WorkerCount(settings.workers)),
      width(page.width),
      height(page.height),
      size(int64_t(page.width) * page.height),
      limits{settings.darkness, settings.hintChroma},
      reader(page.kind, limits),
      rowBytes(RowBytes(page)) {
    result.width = width;
    result.height = height;
    result.flatsKind = FlatsKind(page.kind);
    result.gap = settings.gap > 0 ? settings.gap : DefaultGap(width, height, settings.dpi);
    gap = result.gap;
    result.minRegion =
        settings.minRegion >= 0 ? settings.minRegion : std::max<int64_t>(16, (gap / 2) * (gap / 2));
    spotDepth = settings.spotBlackDepth > 0 ? settings.spotBlackDepth : std::max<int64_t>(4, gap);
}

void ClassifyPixels(SPageRun& run) {
    run.progress.At(0.0, "classifying");
    run.labels.resize(static_cast<size_t>(run.size));
    CStageProgress stage(run.progress, 0.0, 0.05, "classifying", uint64_t(run.size));
    std::atomic<uint64_t> linePixels{0};
    ForEachPart(run.workers, run.height, 16, [&](int64_t y0, int64_t y1) {
        uint64_t lines = 0;
        for (int64_t y = y0; y < y1; ++y) {
            stage.Done(uint64_t(run.width));
            const uint8_t* row = run.page.pixels + y * run.rowBytes;
            uint32_t* out = run.labels.data() + y * run.width;
            for (int64_t x = 0; x < run.width; ++x) {
                const bool line = run.reader.Classify(row + x * run.reader.Channels()) == EPixelClass::Line;
                out[x] = line ? kLine : kOpen;
                lines += line;
            }
        }
        linePixels += lines;
    });
    run.result.linePixels = linePixels.load();
}

void CloseGaps(SPageRun& run) {
    run.progress.At(0.05, "measuring gaps");
    run.distance.resize(static_cast<size_t>(run.size));
    HideTexture(run);
    {
        CStageProgress stage(run.progress, 0.05, 0.2, "measuring gaps", 2 * uint64_t(run.size));
        SquaredDistances(run.width, run.height, run.labels.data(), kLine, false, run.distance.data(),
                         run.workers, stage.Reporter());
    }
    ShowTexture(run);

    // A core is what lies farther from every line than half the widest gap
    // to be closed, plus a pixel so that gaps across the diagonal close too:
    // no path of cores passes through such a gap.
    run.progress.At(0.2, "finding regions");
    CStageProgress stage(run.progress, 0.2, 0.3, "finding regions", 3 * uint64_t(run.size));
    const int64_t gap = run.gap;
    const uint64_t coreLimit = uint64_t((gap + 2) * (gap + 2)) / 4;
    const std::vector<uint32_t>& labels = run.labels;
    const std::vector<uint32_t>& distance = run.distance;
    const std::vector<uint64_t> cores = LabelComponents(
        run.Labels(), 1,
        [&](int64_t i) { return labels[size_t(i)] == kOpen && distance[size_t(i)] > coreLimit; },
        stage.Reporter(), run.workers);
    // A core of a few pixels is where a narrow passage widens a little, or a
    // page corner: no region of its own, or a strip along the page's edge
    // would be cut into pieces at the corners.
    const uint64_t weakCore = uint64_t(std::max<int64_t>(4, (gap / 2) * (gap / 2)));
    std::vector<uint32_t> coreLabels(cores.size(), kOpen);
    uint32_t coreEnd = 1;
    for (size_t c = 0; c < cores.size(); ++c)
        if (cores[c] >= weakCore) coreLabels[c] = coreEnd++;
    Relabel(run.Labels(), 1, coreLabels, run.workers);
    GrowIntoOpen(run.Labels(), stage.Reporter(), run.workers);
    run.firstClosed = coreEnd;
}

// What no core reaches is enclosed all round, however narrow.
void LabelEnclosed(SPageRun& run) {
    const std::vector<uint32_t>& labels = run.labels;
    CStageProgress stage(run.progress, 0.3, 0.35, "finding regions", 2 * uint64_t(run.size));
    const std::vector<uint64_t> closed = LabelComponents(
        run.Labels(), run.firstClosed, [&](int64_t i) { return labels[size_t(i)] == kOpen; },
        stage.Reporter(), run.workers);
    run.labelEnd = run.firstClosed + uint32_t(closed.size());
}

void FindSpotBlacks(SPageRun& run) {
    run.progress.At(0.35, "finding spot blacks");
    CStageProgress stage(run.progress, 0.35, 0.4, "finding spot blacks", 4 * uint64_t(run.size));
    SquaredDistances(run.width, run.height, run.labels.data(), kLine, true, run.distance.data(), run.workers,
                     stage.Reporter());
    run.firstSpot = run.labelEnd;
    if (run.settings.spotBlacks != ESpotBlacks::Regions) return;
    const uint32_t firstSpot = run.firstSpot;
    const std::vector<uint32_t>& labels = run.labels;
    const std::vector<uint32_t>& distance = run.distance;
    const uint64_t deep = uint64_t(run.spotDepth * run.spotDepth);
    const std::vector<uint64_t> spots = LabelComponents(
        run.Labels(), firstSpot,
        [&](int64_t i) { return labels[size_t(i)] == kLine && distance[size_t(i)] > deep; }, stage.Reporter(),
        run.workers);
    // A line, however thick, is long and narrow: its deep part is a thin
    // ridge, and where two thick lines cross, a heart at most their width
    // over the square root of two deep. A spot black has a heart three
    // times the depth (so it is more than six depths across) and takes
    // in the deep black around it.
    std::vector<uint32_t> heart(spots.size(), 0);
    std::mutex heartLock;
    ForEachPart(run.workers, run.size, 1 << 16, [&](int64_t begin, int64_t end) {
        std::vector<uint32_t> part(spots.size(), 0);
        for (int64_t i = begin; i < end; ++i) {
            const uint32_t value = labels[size_t(i)];
            if (value >= firstSpot && value != kOpen)
                part[value - firstSpot] = std::max(part[value - firstSpot], distance[size_t(i)]);
        }
        std::lock_guard<std::mutex> guard(heartLock);
        for (size_t s = 0; s < part.size(); ++s) heart[s] = std::max(heart[s], part[s]);
    });
    std::vector<uint32_t> remap(spots.size(), kLine);
    for (size_t s = 0; s < spots.size(); ++s)
        if (heart[s] > 9 * deep && spots[s] >= uint64_t(run.result.minRegion)) remap[s] = run.labelEnd++;
    Relabel(run.Labels(), firstSpot, remap, run.workers);
}

}  // namespace autoflat
