// The label map for pipelines: each pixel's region number in a PNG that
// image libraries read losslessly, and the regions' colours beside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CodecOptions.h"
#include "cli/Raster.h"

namespace cli {

// Up to this many regions the map is 16-bit grayscale, the number itself;
// beyond, 8-bit RGB carrying its high, middle and low bytes.
constexpr size_t kMaxGrayMapRegions = 65536;

// The palette written beside a map: MAP.png gives MAP.gpl.
std::string RegionPalettePath(const std::string& mapPath);

// Writes `labels` (width x height, row by row) as a PNG into the open file
// `fd`, keeping `resolution`. Throws CImageError.
void WriteRegionMap(int fd, const std::vector<uint32_t>& labels, int width, int height, size_t regionCount,
                    const SResolution& resolution, const SCodecOptions& options = {});

}  // namespace cli
