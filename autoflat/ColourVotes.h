// Colours counted by label over a page, a run of equal pairs at a time:
// hints and flats come in runs, so the counts stay small. Shared by the
// hints a region holds and the colours of a page's earlier flats.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "autoflat/RunControl.h"
#include "autoflat/Workers.h"

namespace autoflat {

struct SColourVote {
    uint64_t count = 0;  // 0: the label holds no vote
    uint32_t colour = 0;
};

// For every label in [firstLabel, labelCount): its most frequent colour key,
// the smaller key on a tie. `keyOf(pixel, key)` says whether a pixel votes,
// and for which key.
template <typename FKeyOf>
std::vector<SColourVote> MostFrequentColours(const SPageView& page, int channels, const uint32_t* labels,
                                             uint32_t firstLabel, uint32_t labelCount, int workers,
                                             const FKeyOf& keyOf, const FWorkDone& done = {}) {
    const std::ptrdiff_t rowBytes =
        page.rowBytes != 0 ? page.rowBytes : std::ptrdiff_t(page.width) * channels;
    // Counts are sums, so the parts may be added up in any order.
    std::unordered_map<uint64_t, uint64_t> counts;
    std::mutex countsLock;
    ForEachPart(workers, page.height, 64, [&](int64_t y0, int64_t y1) {
        std::unordered_map<uint64_t, uint64_t> part;
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* row = page.pixels + y * rowBytes;
            uint64_t runKey = 0, run = 0;
            for (int64_t x = 0; x < page.width; ++x) {
                const uint32_t label = labels[y * page.width + x];
                uint32_t key = 0;
                if (label < firstLabel || label >= labelCount || !keyOf(row + x * channels, key)) continue;
                const uint64_t k = uint64_t(label) << 32 | key;
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
    std::vector<SColourVote> best(labelCount);
    for (const auto& [k, count] : counts) {
        SColourVote& vote = best[uint32_t(k >> 32)];
        const uint32_t colour = uint32_t(k);
        if (count > vote.count || (count == vote.count && colour < vote.colour)) vote = {count, colour};
    }
    return best;
}

inline SColour ColourOfKey(uint32_t key) {
    SColour c;
    for (int i = 0; i < 4; ++i) c.v[i] = uint8_t(key >> (8 * i));
    return c;
}

}  // namespace autoflat
