#include "bench/StageFloors.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

namespace bench {

double CopyBandwidth() {
    constexpr size_t kBytes = size_t(128) << 20;
    std::vector<char> from(kBytes, 1), to(kBytes, 0);
    double best = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const auto t0 = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), kBytes);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::max(best, 2.0 * kBytes / seconds);
        from[size_t(attempt)] = to[size_t(attempt) * 7];
    }
    return best;
}

double StageBytesPerPixel(const std::string& stage) {
    // A label map is 4 bytes a pixel; a pass that reads one map and writes
    // another moves 8, a sweep that updates one in place 8 as well.
    static const std::map<std::string, double> kBytes = {
        // the page (1 byte, gray) in, the classes out
        {"classifying", 5},
        // the column sweeps: classes in, distances out, then back up (8);
        // the rows: distances read and written
        {"measuring gaps", 4 + 4 + 8 + 8},
        // cores labelled (classes and distances in, labels out, then the
        // second pass), relabelled, grown; the enclosed areas labelled again
        {"finding regions", 12 + 8 + 8 + 8 + 8 + 8},
        // a transform as above, then the deep black labelled and relabelled
        {"finding spot blacks", 24 + 12 + 8 + 8},
        // the labels marked, copied, melted (read the map, write the result),
        // unmarked
        {"melting lines", 8 + 8 + 8 + 16},
        // hints (page and labels), areas, borders (one map), final labels
        {"merging small regions", 5 + 4 + 4 + 4 + 8},
        {"choosing colours", 4 + 4},
        // labels and page in, 3 bytes of flats out
        {"painting flats", 4 + 1 + 3},
    };
    const auto it = kBytes.find(stage);
    return it == kBytes.end() ? 0 : it->second;
}

}  // namespace bench
