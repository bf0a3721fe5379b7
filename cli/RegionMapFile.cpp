#include "cli/RegionMapFile.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/ImageError.h"
#include "cli/Interrupt.h"
#include "cli/PngFile.h"

namespace cli {

namespace {

struct SMapWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;
    char error[256] = "";

    ~SMapWriter() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

void OnError(png_structp png, png_const_charp text) {
    auto* writer = static_cast<SMapWriter*>(png_get_error_ptr(png));
    std::snprintf(writer->error, sizeof writer->error, "%s", text ? text : "unknown error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Holds no object with a destructor: libpng's errors longjmp out of it.
bool GuardedWriteGray16(SMapWriter& w, const uint32_t* labels, int width, int height, png_bytep row,
                        const SResolution& resolution, bool heedInterrupt) {
    if (setjmp(png_jmpbuf(w.png))) return false;
    png_init_io(w.png, w.file);
    png_set_IHDR(w.png, w.info, png_uint_32(width), png_uint_32(height), 16, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (resolution.present && resolution.x > 0 && resolution.y > 0) {
        const bool absolute = resolution.unit != EResolutionUnit::None;
        png_set_pHYs(w.png, w.info, png_uint_32(absolute ? resolution.PerMetre(resolution.x) : resolution.x),
                     png_uint_32(absolute ? resolution.PerMetre(resolution.y) : resolution.y),
                     absolute ? PNG_RESOLUTION_METER : PNG_RESOLUTION_UNKNOWN);
    }
    png_write_info(w.png, w.info);
    for (int y = 0; y < height; ++y) {
        if (heedInterrupt && (y & 63) == 0 && InterruptRequested()) png_error(w.png, "interrupted");
        const uint32_t* in = labels + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            row[2 * x] = png_byte(in[x] >> 8);
            row[2 * x + 1] = png_byte(in[x]);
        }
        png_write_row(w.png, row);
    }
    png_write_end(w.png, nullptr);
    return true;
}

}  // namespace

std::string RegionPalettePath(const std::string& mapPath) {
    return std::filesystem::path(mapPath).replace_extension(".gpl").string();
}

void WriteRegionMap(int fd, const std::vector<uint32_t>& labels, int width, int height, size_t regionCount,
                    const SResolution& resolution, const SCodecOptions& options) {
    if (regionCount > kMaxGrayMapRegions) {
        SRaster map;
        map.width = width;
        map.height = height;
        map.resolution = resolution;
        map.pixels = sim::CHostImage::Uninitialised(width, height, 3);
        uint8_t* out = map.pixels.Bytes().data();
        for (const uint32_t label : labels) {
            *out++ = uint8_t(label >> 16);
            *out++ = uint8_t(label >> 8);
            *out++ = uint8_t(label);
        }
        WritePng(fd, map, options);
        return;
    }
    SMapWriter w;
    const int copy = ::dup(fd);
    if (copy < 0 || !(w.file = ::fdopen(copy, "wb"))) {
        if (copy >= 0) ::close(copy);
        throw CImageError(std::string("cannot write the region map: ") + std::strerror(errno));
    }
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, OnError, OnWarning);
    if (w.png) w.info = png_create_info_struct(w.png);
    if (!w.png || !w.info) throw std::bad_alloc();
    std::vector<png_byte> row(size_t(width) * 2);
    if (!GuardedWriteGray16(w, labels.data(), width, height, row.data(), resolution, options.heedInterrupt))
        throw CImageError(std::strcmp(w.error, "interrupted") == 0
                              ? std::string("interrupted")
                              : std::string("cannot write the region map: ") + w.error);
    FILE* file = w.file;
    w.file = nullptr;
    if (std::fclose(file) != 0)
        throw CImageError(std::string("cannot write the region map: ") + std::strerror(errno));
}

}  // namespace cli
