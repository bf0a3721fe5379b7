// The least time each Auto Flats stage could take on this machine: the bytes
// it must move at the memory's measured speed. A stage far above its floor
// is waiting on something other than memory (a lone core, a cache miss per
// pixel, a branch the predictor cannot guess).
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Bytes a second that one copy of a buffer far larger than the caches
// moves (read and written counted once each), the best of a few tries.
double CopyBandwidth();

// The bytes a stage of the library must move per pixel of the page, as it
// reads and writes its maps today (the stage names the library reports); 0
// for a stage whose work goes with the regions, not the pixels.
double StageBytesPerPixel(const std::string& stage);

}  // namespace bench
