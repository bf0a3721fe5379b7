// The flatting rule stated plainly, to hold the engine to: for each black
// pixel, the first non-black pixel in search order within the depth. It
// knows nothing of rings being grown, hints or strips.
#pragma once

#include <ostream>
#include <vector>

#include "sim/HostImage.h"

namespace engine_testing {

struct SRefOffset {
    int dx, dy;
    bool operator==(const SRefOffset&) const = default;
};
void PrintTo(const SRefOffset& offset, std::ostream* out);

// Every offset but (0, 0) with dx² + dy² <= radius², in search order: by
// distance; then the larger ring (Chebyshev distance) first, except that the
// four axis offsets of rings 5 and 10 come after the ring-4 and ring-8
// offsets of their distance; then counter-clockwise on the screen, starting
// straight down.
std::vector<SRefOffset> ReferenceOrder(int radius);

struct SReference {
    sim::CHostImage expected;
    // False where the search may give up at the image border: a run of
    // eight offsets outside the image comes before the pixel's answer. The
    // rule cannot say there which black pixel is copied, only that one is.
    std::vector<bool> known;
    bool Known(int x, int y) const { return known[size_t(y) * size_t(expected.Width()) + size_t(x)]; }
};

SReference ReferenceFlat(const sim::CHostImage& input, bool cmyk, int maxDepth, bool paintWhite);

}  // namespace engine_testing
