#include "autoflat/LabelMelt.h"

#include <algorithm>
#include <memory>

#include "autoflat/Workers.h"
#include "engine/BandWalker.h"
#include "engine/FlatStrip.h"
#include "engine/PixelDistance.h"

namespace autoflat {

namespace {

constexpr uint32_t kRegionMark = 0xFF000000;

}  // namespace

bool MeltLabels(const SLabelMap& map, uint32_t* melted, uint32_t depth, int workers,
                const std::function<bool(double)>& keepGoing) {
    const int64_t size = map.Size();
    // Marked and copied in one sweep, on every worker.
    ForEachPart(workers, size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            const uint32_t value = map.labels[i];
            melted[i] = map.labels[i] = value == kLine ? 0 : (value | kRegionMark);
        }
    });

    SFlatImage image;
    image.inData = reinterpret_cast<const uint8_t*>(map.labels);
    image.inRowBytes = int32_t(map.width) * 4;
    image.inColumnBytes = 4;
    image.inPlaneBytes = 1;
    image.outData = reinterpret_cast<uint8_t*>(melted);
    image.outRowBytes = image.inRowBytes;
    image.outColumnBytes = 4;
    image.outPlaneBytes = 1;
    image.width = uint16_t(map.width);
    image.height = uint16_t(map.height);
    image.planeCount = 4;
    image.isCmyk = false;

    SPassSettings settings;
    settings.maxDepth = uint16_t(std::clamp<uint32_t>(depth, 1, UINT16_MAX));
    settings.paintWhite = false;
    settings.method = EFlatMethod::DistanceAssisted;

    auto table = std::make_shared<COffsetTable>();
    CSharedSquareSums sums;
    std::atomic<bool> stopped{false};
    ForEachPart(workers, map.height, kStripRows, [&](int64_t firstRow, int64_t endRow) {
        CPixelDistance search(table);
        search.maxRings = settings.maxDepth;
        CBandWalker walker(image, search, settings, &sums);
        const bool caller = firstRow == 0;
        SBandHooks hooks;
        hooks.abandoned = [&stopped] { return stopped.load(); };
        hooks.stripDone = [&](int32_t rowsSoFar) {
            if (caller && keepGoing && !keepGoing(double(rowsSoFar) / double(endRow - firstRow)))
                stopped = true;
            return !stopped.load();
        };
        try {
            walker.Walk(int32_t(firstRow), int32_t(endRow), kStripRows, hooks);
        } catch (...) {
            stopped = true;
            throw;
        }
    });

    ForEachPart(workers, size, 4096, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            map.labels[i] &= kMaxMeltLabel;
            melted[i] &= kMaxMeltLabel;
        }
    });
    return !stopped.load();
}

}  // namespace autoflat
