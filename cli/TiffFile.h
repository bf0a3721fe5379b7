// 8-bit RGB and CMYK TIFF files (each with an optional alpha channel),
// with their resolution, ICC profile and orientation; for auto flats,
// grayscale, 1-bit and palette line art as well.
#pragma once

#include <string>

#include "cli/CodecOptions.h"
#include "cli/Raster.h"

namespace cli {

// Throws CImageError when the file cannot be read or holds something the
// plug-in cannot flat. CMYK samples come back as TIFF stores them: ink.
SRaster ReadTiff(const std::string& path, const SCodecOptions& options = {});

// Writes into the open file `fd` (which stays open and owned by the
// caller); `name` only labels libtiff's messages.
void WriteTiff(int fd, const std::string& name, const SRaster& raster, const SCodecOptions& options = {});

}  // namespace cli
