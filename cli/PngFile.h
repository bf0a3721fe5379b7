// 8-bit RGB and RGBA PNG files, with their resolution and colour chunks.
#pragma once

#include <string>

#include "cli/Raster.h"

namespace cli {

// Throws CImageError when the file cannot be read or holds something the
// plug-in cannot flat.
SRaster ReadPng(const std::string& path);

// Writes into the open file `fd` (which stays open and owned by the
// caller). Returns a warning for anything kept only in part, else "".
std::string WritePng(int fd, const SRaster& raster);

}  // namespace cli
