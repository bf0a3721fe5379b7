// Small documents for the tests, built from readable descriptions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/HostImage.h"

namespace testing_support {

struct SColour {
    uint8_t c[4];
};

constexpr SColour kBlack{{0, 0, 0, 255}};
constexpr SColour kWhite{{255, 255, 255, 255}};
constexpr SColour kRed{{255, 0, 0, 255}};
constexpr SColour kGreen{{0, 255, 0, 255}};
constexpr SColour kBlue{{0, 0, 255, 255}};

// An image of `planes` planes filled with `fill`.
sim::CHostImage SolidImage(int width, int height, int planes, SColour fill);

// An RGB image from rows of characters: '#' black, '.' white, 'r', 'g', 'b'
// red, green, blue, 'y' yellow.
sim::CHostImage ImageFromRows(const std::vector<std::string>& rows, int planes = 3);

void Paint(sim::CHostImage& image, int x, int y, SColour colour);

// The simulator's document for a plain RGB image of this size.
sim::SImageSpec RgbSpec(const sim::CHostImage& image);

// Whether the pixel is black by the plug-in's rule, worked out here on its
// own so the tests do not take the engine's word for it.
bool IsBlack(const sim::CHostImage& image, int x, int y, bool cmyk);

}  // namespace testing_support
