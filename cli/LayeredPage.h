// A page written as layers: the line art as it came, on Multiply, over the
// flats, and a hints page hidden on top when there was one. The rows go
// from the rasters to the file without a merged copy of the page.
#pragma once

#include <string>
#include <vector>

#include "cli/CodecOptions.h"
#include "cli/LayeredFormat.h"
#include "cli/Raster.h"

namespace cli {

// Refuses what the format cannot hold before any work is done on the page.
// Throws CImageError.
void CheckLayeredPage(ELayeredFormat format, const SRaster& page);

// Writes into the open file `fd`; returns a warning for each thing kept
// only in part. Throws CImageError.
std::vector<std::string> WriteLayeredPage(int fd, ELayeredFormat format, const SRaster& lineArt,
                                          const SRaster& flats, const SRaster* hints,
                                          const SCodecOptions& codec);

}  // namespace cli
