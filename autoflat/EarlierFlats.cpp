#include "autoflat/EarlierFlats.h"

#include <mutex>
#include <unordered_map>

#include "autoflat/Workers.h"
#include "engine/FlatStrip.h"

namespace autoflat {

namespace {

// The pixel as a colour of the flats' model, a gray one as RGB, and whether
// the flat filter would call it black: a black flat cannot be a region's.
uint32_t ColourKey(const uint8_t* pixel, EPageKind kind, bool& black) {
    switch (kind) {
        case EPageKind::Gray:
        case EPageKind::GrayAlpha:
            black = pixel[0] <= kRgbBlackLimit;
            return uint32_t(pixel[0]) * 0x010101u;
        case EPageKind::Cmyk:
        case EPageKind::CmykAlpha:
            // Ink coverage: the filter's own planes count K the other way up.
            black = uint8_t(255 - pixel[3]) < kCmykBlackLimit;
            return uint32_t(pixel[0]) | uint32_t(pixel[1]) << 8 | uint32_t(pixel[2]) << 16 |
                   uint32_t(pixel[3]) << 24;
        default:
            black = pixel[0] <= kRgbBlackLimit && pixel[1] <= kRgbBlackLimit && pixel[2] <= kRgbBlackLimit;
            return uint32_t(pixel[0]) | uint32_t(pixel[1]) << 8 | uint32_t(pixel[2]) << 16;
    }
}

SColour FromKey(uint32_t key) {
    SColour c;
    for (int i = 0; i < 4; ++i) c.v[i] = uint8_t(key >> (8 * i));
    return c;
}

// Pixels counted by region and colour, a run of equal pairs at a time: the
// flats are flat, so runs are long.
std::unordered_map<uint64_t, uint64_t> Overlaps(const SPageView& earlier, const uint32_t* regions,
                                                uint32_t regionCount, int workers) {
    const int channels = ChannelCount(earlier.kind);
    const bool alpha = HasAlpha(earlier.kind);
    const std::ptrdiff_t rowBytes =
        earlier.rowBytes != 0 ? earlier.rowBytes : std::ptrdiff_t(earlier.width) * channels;
    std::unordered_map<uint64_t, uint64_t> counts;
    std::mutex countsLock;
    ForEachPart(workers, earlier.height, 64, [&](int64_t y0, int64_t y1) {
        std::unordered_map<uint64_t, uint64_t> part;
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* row = earlier.pixels + y * rowBytes;
            uint64_t runKey = 0, run = 0;
            for (int64_t x = 0; x < earlier.width; ++x) {
                const uint8_t* pixel = row + x * channels;
                if (alpha && pixel[channels - 1] < 128) continue;
                bool black = false;
                const uint32_t colour = ColourKey(pixel, earlier.kind, black);
                const uint32_t region = regions[y * earlier.width + x];
                if (black || region >= regionCount) continue;
                const uint64_t k = uint64_t(region) << 32 | colour;
                if (run && k != runKey) {
                    part[runKey] += run;
                    run = 0;
                }
                runKey = k;
                ++run;
            }
            if (run) part[runKey] += run;
        }
        std::lock_guard<std::mutex> guard(countsLock);
        for (const auto& [k, count] : part) counts[k] += count;
    });
    return counts;
}

}  // namespace

std::vector<std::pair<bool, SColour>> EarlierColours(const SPageView& earlier, const uint32_t* regions,
                                                     uint32_t regionCount, int workers) {
    std::vector<uint64_t> best(regionCount, 0);
    std::vector<uint32_t> bestColour(regionCount, 0);
    for (const auto& [k, count] : Overlaps(earlier, regions, regionCount, workers)) {
        const uint32_t region = uint32_t(k >> 32), colour = uint32_t(k);
        if (count > best[region] || (count == best[region] && colour < bestColour[region])) {
            best[region] = count;
            bestColour[region] = colour;
        }
    }
    // Each earlier colour to the region overlapping it most, the first such
    // region on a tie.
    std::unordered_map<uint32_t, uint32_t> owner;
    for (uint32_t region = 0; region < regionCount; ++region) {
        if (best[region] == 0) continue;
        auto [at, fresh] = owner.try_emplace(bestColour[region], region);
        if (!fresh && best[region] > best[at->second]) at->second = region;
    }
    std::vector<std::pair<bool, SColour>> colours(regionCount);
    for (const auto& [colour, region] : owner) colours[region] = {true, FromKey(colour)};
    return colours;
}

}  // namespace autoflat
