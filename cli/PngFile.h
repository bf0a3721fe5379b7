// 8-bit RGB and RGBA PNG files, with their resolution and colour chunks;
// for auto flats, line art of any PNG colour type and depth as well.
#pragma once

#include <string>

#include "cli/CodecOptions.h"
#include "cli/Raster.h"

namespace cli {

// Throws CImageError when the file cannot be read or holds something the
// plug-in cannot flat.
SRaster ReadPng(const std::string& path, const SCodecOptions& options = {});

// Writes into the open file `fd` (which stays open and owned by the
// caller). Returns a warning for anything kept only in part, else "".
// The pixels go through the Up filter and zlib's default level, deflated
// in bands by `options.threads` threads: within a few percent of libpng's
// own defaults on line art and flat colour, several times faster. With
// `options.smallest`, libpng's adaptive filters at zlib's highest level.
std::string WritePng(int fd, const SRaster& raster, const SCodecOptions& options = {});

}  // namespace cli
