#include "capi/RunPass.h"
#include "engine/SingleThreadedPass.h"

void RunApiPass(const SFlatImage& image, const SPassSettings& settings, CPassHost& host) {
    CPixelDistance search;
    search.maxRings = settings.maxDepth;
    RunSingleThreadedPass(image, search, settings, host);
}
