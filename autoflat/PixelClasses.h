// What one page pixel is: line art, a hint of a region's colour, or paper.
#pragma once

#include <cstdint>
#include <vector>

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

    EPixelClass Classify(const uint8_t* pixel) const {
        if (kind_ == EPageKind::Gray) return table_[pixel[0]];
        if (kind_ == EPageKind::GrayAlpha) return table_[pixel[0] | pixel[1] << 8];
        return Compute(pixel);
    }
    // The pixel as a colour of the flats' model (alpha dropped): what a hint
    // contributes and what a kept line shows.
    SColour Colour(const uint8_t* pixel) const;
    int Channels() const { return channels_; }

private:
    EPixelClass Compute(const uint8_t* pixel) const;

    EPageKind kind_;
    SClassLimits limits_;
    int channels_;
    // Gray pages have few enough pixel values to classify each once.
    std::vector<EPixelClass> table_;
};

}  // namespace autoflat
