// The zlib stream of a PNG's pixels, made by several threads at once: the
// rows are cut into bands, each band deflated on its own and ended on a
// byte boundary, so that the pieces joined in order are one ordinary
// stream that every reader takes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cli {

struct SDeflateSettings {
    int level = 6;
    int threads = 1;  // bands deflated at once; at least one
    // Asked from every band now and then: true gives up the whole stream.
    std::function<bool()> stopped;
};

// Filters every row with PNG's Up filter (the difference from the row
// above, which flat colour turns into long runs of zeros) and deflates the
// result. Returns the pieces of the zlib stream in order: header and first
// band, further bands, checksum; none when `stopped` said so. `rowsDone` is
// called from the calling thread with the number of rows finished so far.
// Throws std::bad_alloc.
std::vector<std::string> DeflateRowsUp(const uint8_t* pixels, size_t rowBytes, int height,
                                       const SDeflateSettings& settings,
                                       const std::function<void(int)>& rowsDone);

}  // namespace cli
