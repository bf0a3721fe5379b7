// What one page pixel is: line art, a hint of a region's colour, or paper.
#pragma once

#include <cstdint>

#include "autoflat/AutoFlats.h"

namespace autoflat {

enum class EPixelClass : uint8_t { Paper, Hint, Line };

struct SClassLimits {
    uint8_t darkness = 128;
    uint8_t hintChroma = 48;
};

// Reads pixels of one page kind: the pixel's class and, for hints, its
// colour in the flats' model.
class CPixelReader {
public:
    CPixelReader(EPageKind kind, SClassLimits limits);

    EPixelClass Classify(const uint8_t* pixel) const;
    // The pixel as a colour of the flats' model (alpha dropped): what a hint
    // contributes and what a kept line shows.
    SColour Colour(const uint8_t* pixel) const;
    int Channels() const { return channels_; }

private:
    EPageKind kind_;
    SClassLimits limits_;
    int channels_;
};

}  // namespace autoflat
