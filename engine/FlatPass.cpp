#include "engine/FlatPass.h"

#include <optional>
#include <stdexcept>

#include "engine/AssistedStrips.h"
#include "engine/FlatStrip.h"
#include "engine/ThreadedPass.h"

namespace {

void RunSingleThreadedPass(const SFlatImage& image, CPixelDistance& search, const CVandrelParams& params,
                           CPassHost& host, EFlatMethod method) {
    search.LimitGrowthToImage(image.width, image.height);
    const bool paintWhite = params.PaintsWhite();
    std::optional<CAssistedStrips> assisted;
    if (method == EFlatMethod::DistanceAssisted) assisted.emplace(image, search, paintWhite);
    int32_t rowsDone = 0;
    for (int32_t first = 0; first < image.height; first += kStripRows) {
        const int32_t rows = first + kStripRows < image.height ? kStripRows : image.height - first;
        if (assisted) assisted->FlatStrip(first, rows);
        else FlatStrip(first, rows, image, search, paintWhite);
        rowsDone += rows;
        host.ReportProgress(rowsDone);
        if (host.TestAbort()) return;
    }
}

}  // namespace

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
