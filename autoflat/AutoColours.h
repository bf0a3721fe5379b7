// The regions' colours: hints kept, the rest chosen so that touching regions
// stand far apart and no two regions share a colour while colours last.
#pragma once

#include <cstdint>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "autoflat/ColourDistance.h"
#include "autoflat/RunControl.h"

namespace autoflat {

// Whether an sRGB colour lies inside the conservative print gamut that every
// automatic colour is taken from (see the .cpp for its making).
bool InPrintGamut(uint8_t r, uint8_t g, uint8_t b);

// The well-separated colours the automatic ones vary around, sRGB.
const std::vector<SColour>& BaseColours();

// A flats colour seen as sRGB: CMYK inks through the simplest print model.
SLab LabOf(const SColour& colour, bool cmyk);

struct SRegionEdge {
    uint32_t a = 0, b = 0;  // a < b
};

struct SColourRequest {
    uint32_t regionCount = 0;
    bool cmyk = false;
    std::vector<SRegionEdge> edges;  // each touching pair once
    std::vector<bool> fixed;         // regionCount entries: colour already given
    std::vector<SColour> colours;    // regionCount entries, the fixed ones set
    std::vector<SColour> palette;    // empty: automatic colours
    FWorkDone done;                  // hears of the work, a colour distance a unit
};

// Fills the colours of the regions that are not fixed.
void AssignColours(SColourRequest& request);

}  // namespace autoflat
