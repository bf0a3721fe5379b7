#include "cli/ImageFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli/ImageError.h"
#include "cli/InputFile.h"
#include "cli/PngFile.h"
#include "cli/TiffFile.h"

namespace cli {

namespace {

// The name was checked before the output was; it is opened as a regular
// file again here.
EImageFormat DetectFormat(const std::string& path) {
    const int fd = OpenInputFile(path);
    std::unique_ptr<FILE, int (*)(FILE*)> file(::fdopen(fd, "rb"), std::fclose);
    if (!file) {
        ::close(fd);
        throw CImageError(std::string("cannot open: ") + std::strerror(errno));
    }
    std::array<unsigned char, 8> head{};
    const size_t got = std::fread(head.data(), 1, head.size(), file.get());
    if (got < head.size() && std::ferror(file.get()))
        throw CImageError(std::string("cannot read: ") + std::strerror(errno));

    static constexpr unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got == 8 && std::memcmp(head.data(), kPng, 8) == 0) return EImageFormat::Png;
    // Classic TIFF (42) and BigTIFF (43), in either byte order.
    if (got >= 4 && ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
                     (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43))))
        return EImageFormat::Tiff;
    throw CImageError("not a PNG or TIFF image");
}

}  // namespace

std::optional<EImageFormat> FormatForName(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".png") return EImageFormat::Png;
    if (extension == ".tif" || extension == ".tiff") return EImageFormat::Tiff;
    return std::nullopt;
}

SRaster ReadImage(const std::string& path, EImageFormat& format, const SCodecOptions& options) {
    format = DetectFormat(path);
    return format == EImageFormat::Png ? ReadPng(path, options) : ReadTiff(path, options);
}

std::vector<std::string> WriteImage(int fd, const std::string& name, EImageFormat format,
                                    const SRaster& raster, const SCodecOptions& options) {
    std::vector<std::string> warnings;
    if (format == EImageFormat::Png) {
        const std::string warning = WritePng(fd, raster, options);
        if (!warning.empty()) warnings.push_back(warning);
        // PNG has no orientation: a viewer would show the page turned or
        // mirrored against its original, and the user is told rather than
        // handed pixels rearranged behind their back.
        if (raster.tiffOrientation != 1)
            warnings.push_back("the TIFF's orientation (" + std::to_string(raster.tiffOrientation) +
                               ", turned or mirrored) cannot be kept in a PNG: its pixels are as the file "
                               "stores them");
        return warnings;
    }
    WriteTiff(fd, name, raster, options);
    // TIFF has no colour key, and an alpha plane made up from one would
    // give the page a layer it never had: the user is told instead.
    if (raster.pngColour.hasTransparentColour)
        warnings.push_back(
            "the PNG's transparent colour (tRNS) cannot be kept in a TIFF: those pixels are opaque there");
    return warnings;
}

}  // namespace cli
