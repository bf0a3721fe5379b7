// CIELAB (D65) and the CIEDE2000 colour difference, for 8-bit sRGB colours.
#pragma once

#include <cstdint>

namespace autoflat {

struct SLab {
    double l = 0, a = 0, b = 0;
};

SLab LabFromSrgb(uint8_t r, uint8_t g, uint8_t b);
double DeltaE2000(const SLab& x, const SLab& y);

}  // namespace autoflat
