// Which reader and writer a file needs: the input by its content, the
// output by its name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/CodecOptions.h"
#include "cli/Raster.h"

namespace cli {

enum class EImageFormat { Png, Tiff };

// .png, .tif or .tiff in any case; nothing for other names.
std::optional<EImageFormat> FormatForName(const std::string& path);

// Reads a PNG or TIFF file, whatever its name says. Throws CImageError.
SRaster ReadImage(const std::string& path, EImageFormat& format, const SCodecOptions& options = {});

// Writes into the open file `fd`; returns a warning for each thing kept
// only in part. Throws CImageError.
std::vector<std::string> WriteImage(int fd, const std::string& name, EImageFormat format,
                                    const SRaster& raster, const SCodecOptions& options = {});

}  // namespace cli
