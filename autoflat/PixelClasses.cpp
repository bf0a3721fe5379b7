#include "autoflat/PixelClasses.h"

#include <algorithm>

namespace autoflat {

namespace {

struct SRgbA {
    int r, g, b, a;
};

// CMYK inks seen through the simplest print model: each ink takes its share
// of the light. Good enough to tell black line art from coloured areas, which
// is all the classes ask of it.
SRgbA ReadRgbA(EPageKind kind, const uint8_t* p) {
    switch (kind) {
        case EPageKind::Gray:
            return {p[0], p[0], p[0], 255};
        case EPageKind::GrayAlpha:
            return {p[0], p[0], p[0], p[1]};
        case EPageKind::Rgb:
            return {p[0], p[1], p[2], 255};
        case EPageKind::Rgba:
            return {p[0], p[1], p[2], p[3]};
        case EPageKind::Cmyk:
        case EPageKind::CmykAlpha: {
            const int white = 255 - p[3];
            const int a = kind == EPageKind::CmykAlpha ? p[4] : 255;
            return {(255 - p[0]) * white / 255, (255 - p[1]) * white / 255, (255 - p[2]) * white / 255, a};
        }
    }
    return {255, 255, 255, 0};
}

}  // namespace

CPixelReader::CPixelReader(EPageKind kind, SClassLimits limits)
    : kind_(kind), limits_(limits), channels_(ChannelCount(kind)) {
    // The tables' pixels are as long as the longest kind, so that no reading
    // of another kind could run past them, whatever a compiler assumes.
    if (kind == EPageKind::Gray) {
        for (int v = 0; v < 256; ++v) {
            const uint8_t pixel[5] = {uint8_t(v)};
            table_.push_back(Compute(pixel));
        }
    } else if (kind == EPageKind::GrayAlpha) {
        for (int i = 0; i < 65536; ++i) {
            const uint8_t pixel[5] = {uint8_t(i & 0xFF), uint8_t(i >> 8)};
            table_.push_back(Compute(pixel));
        }
    }
}

bool FilterCallsBlack(const SColour& colour, bool cmyk) {
    // The filter sees CMYK as the host keeps it, 255 for no ink.
    const uint8_t planes[4] = {uint8_t(cmyk ? 255 - colour.v[0] : colour.v[0]),
                               uint8_t(cmyk ? 255 - colour.v[1] : colour.v[1]),
                               uint8_t(cmyk ? 255 - colour.v[2] : colour.v[2]), uint8_t(255 - colour.v[3])};
    return IsBlackPixel(planes, 1, cmyk ? 4 : 3, cmyk);
}

EPixelClass CPixelReader::Compute(const uint8_t* pixel) const {
    const SRgbA c = ReadRgbA(kind_, pixel);
    const EPixelClass cls = ClassOf(c.r, c.g, c.b, c.a);
    if (cls == EPixelClass::Hint && IsCmyk(kind_) && FilterCallsBlack(Colour(pixel), true))
        return ClassWithoutHint(c.r, c.g, c.b, c.a);
    return cls;
}

SColour CPixelReader::Colour(const uint8_t* pixel) const {
    SColour colour;
    switch (kind_) {
        case EPageKind::Gray:
        case EPageKind::GrayAlpha:
            colour.v[0] = colour.v[1] = colour.v[2] = pixel[0];
            break;
        case EPageKind::Rgb:
        case EPageKind::Rgba:
            for (int k = 0; k < 3; ++k) colour.v[k] = pixel[k];
            break;
        case EPageKind::Cmyk:
        case EPageKind::CmykAlpha:
            for (int k = 0; k < 4; ++k) colour.v[k] = pixel[k];
            break;
    }
    return colour;
}

}  // namespace autoflat
