// What one page pixel is: line art, a hint of a region's colour, or paper.
#pragma once

#include <cstdint>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "engine/FlatStrip.h"

namespace autoflat {

enum class EPixelClass : uint8_t { Paper, Hint, Line };

// Whether the flat filter takes a colour of the flats' model (CMYK as ink
// coverage) for black: a region of it would melt away there. No hint asks
// for such a colour.
bool FilterCallsBlack(const SColour& colour, bool cmyk);

struct SClassLimits {
    uint8_t darkness = 128;
    uint8_t hintChroma = 48;
};

// Reads pixels of one page kind: the pixel's class and, for hints, its
// colour in the flats' model.
class CPixelReader {
public:
    CPixelReader(EPageKind kind, SClassLimits limits);

    // RGB pages, the common ones, are classed here where the loops over the
    // page can inline it: a call per pixel costs more than the class.
    EPixelClass Classify(const uint8_t* pixel) const {
        switch (kind_) {
            case EPageKind::Gray:
                return table_[pixel[0]];
            case EPageKind::GrayAlpha:
                return table_[pixel[0] | pixel[1] << 8];
            case EPageKind::Rgb:
                return ClassOf(pixel[0], pixel[1], pixel[2], 255);
            case EPageKind::Rgba:
                return ClassOf(pixel[0], pixel[1], pixel[2], pixel[3]);
            default:
                return Compute(pixel);
        }
    }
    // The pixel as a colour of the flats' model (alpha dropped): what a hint
    // contributes and what a kept line shows.
    SColour Colour(const uint8_t* pixel) const;
    int Channels() const { return channels_; }

private:
    EPixelClass Compute(const uint8_t* pixel) const;
    EPixelClass ClassWithoutHint(int r, int g, int b, int a) const {
        // Rec. 601 weights in integers: the classes must not depend on how a
        // platform rounds floating point.
        const int luma = (299 * r + 587 * g + 114 * b + 500) / 1000;
        return (255 - luma) * a >= int(limits_.darkness) * 255 ? EPixelClass::Line : EPixelClass::Paper;
    }

    EPixelClass ClassOf(int r, int g, int b, int a) const {
        const int high = r > g ? (r > b ? r : b) : (g > b ? g : b);
        const int low = r < g ? (r < b ? r : b) : (g < b ? g : b);
        // A hint must be opaque enough to mean a colour; a faint one is paper.
        if ((high - low) * a >= limits_.hintChroma * 255 && limits_.hintChroma > 0 && a >= 128 &&
            (high > kRgbBlackLimit || IsCmyk(kind_) ||
             !FilterCallsBlack(SColour{{uint8_t(r), uint8_t(g), uint8_t(b), 0}}, false)))
            return EPixelClass::Hint;
        return ClassWithoutHint(r, g, b, a);
    }

    EPageKind kind_;
    SClassLimits limits_;
    int channels_;
    // Gray pages have few enough pixel values to classify each once.
    std::vector<EPixelClass> table_;
};

}  // namespace autoflat
