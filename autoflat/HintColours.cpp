#include "autoflat/HintColours.h"

#include <mutex>
#include <unordered_map>

#include "autoflat/PageStages.h"
#include "autoflat/Workers.h"

namespace autoflat {

std::vector<std::pair<bool, SColour>> HintColours(const SPageView& page, const CPixelReader& reader,
                                                  const uint32_t* labels, uint32_t labelCount, int workers,
                                                  const FWorkDone& done) {
    auto key = [](const SColour& c) {
        return uint32_t(c.v[0]) | uint32_t(c.v[1]) << 8 | uint32_t(c.v[2]) << 16 | uint32_t(c.v[3]) << 24;
    };
    const std::ptrdiff_t rowBytes = RowBytes(page);
    // Counts are sums, so the parts may be added up in any order.
    std::unordered_map<uint64_t, uint64_t> counts;
    std::mutex countsLock;
    ForEachPart(workers, page.height, 64, [&](int64_t y0, int64_t y1) {
        std::unordered_map<uint64_t, uint64_t> part;
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* row = page.pixels + y * rowBytes;
            uint64_t runKey = 0, run = 0;
            for (int64_t x = 0; x < page.width; ++x) {
                const uint8_t* pixel = row + x * reader.Channels();
                if (reader.Classify(pixel) != EPixelClass::Hint) continue;
                const uint32_t label = labels[y * page.width + x];
                if (label == kLine || label >= labelCount) continue;
                const uint64_t k = uint64_t(label) << 32 | key(reader.Colour(pixel));
                if (run && k != runKey) {
                    part[runKey] += run;
                    run = 0;
                }
                runKey = k;
                ++run;
            }
            if (run) part[runKey] += run;
            if (done) done(uint64_t(page.width));
        }
        std::lock_guard<std::mutex> guard(countsLock);
        for (const auto& [k, count] : part) counts[k] += count;
    });
    std::vector<uint64_t> best(labelCount, 0);
    std::vector<uint32_t> bestColour(labelCount, 0);
    for (const auto& [k, count] : counts) {
        const uint32_t label = uint32_t(k >> 32), colour = uint32_t(k);
        if (count > best[label] || (count == best[label] && colour < bestColour[label])) {
            best[label] = count;
            bestColour[label] = colour;
        }
    }
    std::vector<std::pair<bool, SColour>> colours(labelCount);
    for (uint32_t label = 0; label < labelCount; ++label) {
        if (best[label] == 0) continue;
        SColour c;
        for (int i = 0; i < 4; ++i) c.v[i] = uint8_t(bestColour[label] >> (8 * i));
        colours[label] = {true, c};
    }
    return colours;
}

}  // namespace autoflat
