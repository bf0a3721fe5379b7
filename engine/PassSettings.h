// What a flatting pass takes from the parameter record and from the switches
// that choose how it runs. The host fills it; the engine knows nothing of
// where the values came from.
#pragma once

#include <cstdint>

#include "engine/PixelDistance.h"

// How a pass walks its strips. The plain search is the definition of the
// result and stays selectable, so that tests and the benchmark can compare
// the two.
enum class EFlatMethod { Search, DistanceAssisted };

struct SPassSettings {
    uint16_t maxDepth = kDefaultMaxRings;  // rings the search may grow: the Black Pixel Depth
    bool paintWhite = false;               // too-deep pixels painted white, else left as they are
    EFlatMethod method = EFlatMethod::DistanceAssisted;
};
