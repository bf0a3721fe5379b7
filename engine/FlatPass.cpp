#include "engine/FlatPass.h"

#include "engine/SingleThreadedPass.h"
#include "engine/ThreadedPass.h"

void RunFlatPass(const SFlatImage& image, CPixelDistance& search, const SPassSettings& settings,
                 CPassHost& host, int processorCount) {
    if (processorCount == 1)
        RunSingleThreadedPass(image, search, settings, host);
    else
        RunThreadedPass(image, settings, host, processorCount);
}
