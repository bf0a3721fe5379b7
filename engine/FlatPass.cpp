// Temporary empty pass until the engine lands.
#include "engine/FlatPass.h"

void RunFlatPass(const SFlatImage& image, CPixelDistance&, const CVandrelParams&, CPassHost& host, int) {
    host.ReportProgress(image.height);
}
