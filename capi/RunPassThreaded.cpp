#include <algorithm>
#include <thread>

#include "capi/RunPass.h"
#include "engine/FlatPass.h"

void RunApiPass(const SFlatImage& image, const SPassSettings& settings, CPassHost& host) {
    CPixelDistance search;
    search.maxRings = settings.maxDepth;
    const int processors = int(std::max(1u, std::thread::hardware_concurrency()));
    RunFlatPass(image, search, settings, host, processors);
}
