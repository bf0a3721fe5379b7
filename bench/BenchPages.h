// Deterministic comic pages for the benchmark: flat colour areas divided by
// thin black strokes, and the same page with large black blobs.
#pragma once

#include <cstdint>

#include "engine/FlatImage.h"
#include "sim/HostImage.h"

namespace bench {

constexpr int kA4Width = 4960;   // 210 mm at 600 dpi
constexpr int kA4Height = 7016;  // 297 mm at 600 dpi

// Panels and areas of flat colour, outlined and hatched with black strokes
// 2 to 6 pixels wide. The same seed always gives the same page.
sim::CHostImage StrokesPage(int width, int height, uint64_t seed);

// Adds filled black ellipses up to 800 pixels across until `fraction` of the
// page is black; returns the fraction reached.
double AddBlackBlobs(sim::CHostImage& page, double fraction, uint64_t seed);

double BlackFraction(const sim::CHostImage& page);

// An RGB page as the engine's pass reads it, flatted into `out`, a buffer
// of the page's size: rows packed, planes interleaved.
SFlatImage PackedRgbImage(const sim::CHostImage& page, uint8_t* out);

}  // namespace bench
