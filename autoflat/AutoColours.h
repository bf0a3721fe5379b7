// The regions' colours: hints kept, the rest chosen so that touching regions
// stand far apart, no two regions come close while the gamut has room, and a
// region's colour follows the region itself rather than its number, so that
// a hint or a local revision moves only the colours around it.
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

// The automatic colours, sRGB, each at least kMinDistinctDeltaE from every
// other, all inside the print gamut.
const std::vector<SColour>& DistinctColours();
// The rule that made them, too slow to run for every page.
std::vector<SColour> PickDistinctColours();

// CMYK inks for an sRGB colour and back, through the simplest print model.
SColour InksFromSrgb(const SColour& rgb);
SColour SrgbFromInks(const SColour& inks);

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
    // regionCount entries: where each region begins, its first pixel in
    // reading order as y << 32 | x. A region's colour is drawn from this, so
    // it stays when other regions come, go or are numbered anew. Empty: the
    // region numbers stand in.
    std::vector<uint64_t> anchors;
    FWorkDone done;  // hears of the work, a colour distance a unit
};

// Fills the colours of the regions that are not fixed.
void AssignColours(SColourRequest& request);

}  // namespace autoflat
