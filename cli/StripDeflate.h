// A deflated TIFF's strips compressed on several threads at once: each
// strip is a zlib stream of its own, so they can be made in any order and
// written raw, in order, by the one thread that owns the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cli {

struct SStripDeflate {
    const uint8_t* pixels = nullptr;  // interleaved 8-bit samples
    size_t rowBytes = 0;
    int planes = 0;  // samples per pixel
    int height = 0;
    uint32_t rowsPerStrip = 1;
    bool predictor = false;  // TIFF's horizontal differencing before deflate
    int level = 6;           // libdeflate's, 1 to 12
    int threads = 1;
    // Asked between strips: true gives up.
    std::function<bool()> stopped;
};

// The strips in order, each one complete; none when `stopped` said so.
// `stripsDone` is called from the calling thread now and then. Throws
// std::bad_alloc.
std::vector<std::string> DeflateStrips(const SStripDeflate& job,
                                       const std::function<void(uint32_t)>& stripsDone);

}  // namespace cli
