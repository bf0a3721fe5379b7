// Images for holding the fast path to the plain search: black
// areas of every size, touching edges and corners, in every buffer layout.
#pragma once

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "engine/FlatImage.h"
#include "engine/PassSettings.h"
#include "engine/PixelDistance.h"
#include "sim/HostImage.h"
#include "tests/support/LaidOutImage.h"
#include "tests/support/TestImages.h"

namespace fastpath_testing {

using testing_support::CLaidOutImage;
using testing_support::IsBlack;
using testing_support::SpecFor;

enum class EArt {
    Blobs,       // colour areas with black discs and rectangles, some over the edges
    AllBlack,    // nothing but black, in varied shades
    FewColours,  // black with a handful of colour dots
    Lines,       // thin strokes only
};

// Black pixels come in varied shades (and C, M, Y under a black K), so that
// a copy of one black pixel is told from another.
sim::CHostImage RandomArt(std::mt19937& random, int width, int height, bool cmyk, EArt art);

// One differential case: a random page of `art` and how it is flatted.
struct SPageCase {
    int width, height;
    bool cmyk;
    sim::ELayout layout;
    bool bottomUp;
    EArt art;
    int depth;
    bool white;
};

std::ostream& operator<<(std::ostream& out, const SPageCase& c);

// What a band's walk did besides its pixels.
struct SBandCounts {
    int64_t shortcutPixels = 0;
    int64_t replayedPixels = 0;
    int32_t transformedStrips = 0;
};

// Rows first .. end - 1 as a pass walks its band: the engine's band walker
// with `method`, in strips counted from `first`. `search` comes with its
// maxRings set. With alwaysTransform the fast path makes the transform
// for every strip, so that small images take the shortcut wherever it holds.
SBandCounts WalkBand(const SFlatImage& image, CPixelDistance& search, bool white, EFlatMethod method,
                     int first, int end, bool alwaysTransform = false);

// Squared distance from (x, y) to the nearest non-black pixel, the long way
// round; UINT64_MAX when there is none.
uint64_t MeasuredDistSq(const sim::CHostImage& page, bool cmyk, int x, int y);

}  // namespace fastpath_testing
