#include "autoflat/HintColours.h"

#include "autoflat/ColourVotes.h"
#include "autoflat/PageStages.h"

namespace autoflat {

std::vector<std::pair<bool, SColour>> HintColours(const SPageView& page, const CPixelReader& reader,
                                                  const uint32_t* labels, uint32_t labelCount, int workers,
                                                  const FWorkDone& done) {
    auto keyOf = [&reader](const uint8_t* pixel, uint32_t& key) {
        if (reader.Classify(pixel) != EPixelClass::Hint) return false;
        const SColour c = reader.Colour(pixel);
        key = uint32_t(c.v[0]) | uint32_t(c.v[1]) << 8 | uint32_t(c.v[2]) << 16 | uint32_t(c.v[3]) << 24;
        return true;
    };
    // Line pixels (kLine, label 0) hold no hints.
    const std::vector<SColourVote> votes =
        MostFrequentColours(page, reader.Channels(), labels, kLine + 1, labelCount, workers, keyOf, done);
    std::vector<std::pair<bool, SColour>> colours(labelCount);
    for (uint32_t label = 0; label < labelCount; ++label)
        if (votes[label].count) colours[label] = {true, ColourOfKey(votes[label].colour)};
    return colours;
}

}  // namespace autoflat
