#include "autoflat/EarlierFlats.h"

#include <unordered_map>

#include "autoflat/ColourVotes.h"
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

}  // namespace

std::vector<std::pair<bool, SColour>> EarlierColours(const SPageView& earlier, const uint32_t* regions,
                                                     uint32_t regionCount, int workers) {
    const bool alpha = HasAlpha(earlier.kind);
    const int channels = ChannelCount(earlier.kind);
    auto keyOf = [&](const uint8_t* pixel, uint32_t& key) {
        if (alpha && pixel[channels - 1] < 128) return false;
        bool black = false;
        key = ColourKey(pixel, earlier.kind, black);
        return !black;
    };
    const std::vector<SColourVote> votes =
        MostFrequentColours(earlier, channels, regions, 0, regionCount, workers, keyOf);
    // Each earlier colour to the region overlapping it most, the first such
    // region on a tie.
    std::unordered_map<uint32_t, uint32_t> owner;
    for (uint32_t region = 0; region < regionCount; ++region) {
        if (votes[region].count == 0) continue;
        auto [at, fresh] = owner.try_emplace(votes[region].colour, region);
        if (!fresh && votes[region].count > votes[at->second].count) at->second = region;
    }
    std::vector<std::pair<bool, SColour>> colours(regionCount);
    for (const auto& [colour, region] : owner) colours[region] = {true, ColourOfKey(colour)};
    return colours;
}

}  // namespace autoflat
