#include "engine/FlatPass.h"

#include <stdexcept>

#include "engine/SingleThreadedPass.h"
#include "engine/ThreadedPass.h"

void RunFlatPass(const SFlatImage& image, CPixelDistance& search, const CVandrelParams& params, CPassHost& host,
                 int processorCount) {
    // The CMYK test reads the K plane, plane 3; a host that hands over fewer
    // planes would have it read outside the pixels it delivered.
    if (image.isCmyk && image.planeCount < 4) throw std::invalid_argument("CMYK image without a K plane");

    const EFlatMethod method = FlatMethodFromEnvironment();
    if (processorCount == 1)
        RunSingleThreadedPass(image, search, params, host, method);
    else
        RunThreadedPass(image, params, host, processorCount, method);
}
