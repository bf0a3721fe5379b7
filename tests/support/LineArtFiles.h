// Line art as drawing programs save it (1-bit, grayscale, grayscale with
// alpha), written with libpng and libtiff directly, and the region maps
// the tool writes, read back the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/PictureFiles.h"

namespace tool_testing {

// A gray page (one plane, 0 line, 255 paper) of three closed regions: a
// frame split by a vertical line, its right half split again.
SPicture ThreeRegionPage();

// The same pixels as colour: planes 3 (RGB) or 4 (RGBA, opaque); a
// two-plane (gray and alpha) picture keeps its alpha.
SPicture AsColour(const SPicture& gray, int planes);
// Gray with an opaque alpha plane.
SPicture WithAlpha(const SPicture& gray);

// PNG: one plane gray or two planes gray with alpha, at 8 bits; at 1 bit
// (one plane only) samples above 127 are white.
void SaveGrayPng(const std::string& path, const SPicture& gray, int bits = 8);
// TIFF: 8-bit gray (with alpha for two planes), or 1-bit with white as 0
// (`minIsWhite`) or as 1.
void SaveGrayTiff(const std::string& path, const SPicture& gray, int bits = 8, bool minIsWhite = false);

// A 16-bit grayscale PNG's samples, as numbers.
std::vector<uint32_t> LoadGray16Png(const std::string& path, int* width = nullptr, int* height = nullptr);

}  // namespace tool_testing
