#include "autoflat/HintColours.h"

#include "autoflat/ColourVotes.h"
#include "autoflat/PageStages.h"

namespace autoflat {

namespace {

uint32_t KeyOf(const SColour& c) {
    return uint32_t(c.v[0]) | uint32_t(c.v[1]) << 8 | uint32_t(c.v[2]) << 16 | uint32_t(c.v[3]) << 24;
}

// A hints page's pixel that holds a colour: opaque enough to mean one, not
// the paper it was painted on, and not black to the filter.
bool PageHint(const uint8_t* pixel, EPageKind kind, const CPixelReader& reader, SColour& colour) {
    if (HasAlpha(kind) && pixel[reader.Channels() - 1] < 128) return false;
    colour = reader.Colour(pixel);
    const bool cmyk = IsCmyk(kind);
    const bool paper = cmyk ? (colour.v[0] | colour.v[1] | colour.v[2] | colour.v[3]) == 0
                            : (colour.v[0] & colour.v[1] & colour.v[2]) == 255;
    return !paper && !FilterCallsBlack(colour, cmyk);
}

}  // namespace

std::vector<std::pair<bool, SColour>> HintColours(const SPageView& page, const CPixelReader& reader,
                                                  const uint32_t* labels, uint32_t labelCount, int workers,
                                                  const FWorkDone& done, EHintSource source) {
    const EPageKind kind = page.kind;
    auto keyOf = [&reader, kind, source](const uint8_t* pixel, uint32_t& key) {
        SColour c;
        if (source == EHintSource::HintsPage) {
            if (!PageHint(pixel, kind, reader, c)) return false;
        } else {
            if (reader.Classify(pixel) != EPixelClass::Hint) return false;
            c = reader.Colour(pixel);
        }
        key = KeyOf(c);
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
