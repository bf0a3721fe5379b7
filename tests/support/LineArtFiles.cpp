#include "tests/support/LineArtFiles.h"

#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <stdexcept>

namespace tool_testing {

namespace {

[[noreturn]] void PngThrow(png_structp, png_const_charp text) { throw std::runtime_error(text); }

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

// Row `y` of a one-plane picture packed eight pixels a byte, the first
// pixel in the high bit; `whiteBit` is the bit of a light pixel.
std::vector<uint8_t> PackedRow(const SPicture& gray, int y, int whiteBit) {
    std::vector<uint8_t> row(size_t(gray.width + 7) / 8);
    for (int x = 0; x < gray.width; ++x) {
        const bool white = const_cast<SPicture&>(gray).At(x, y, 0) > 127;
        if (white == (whiteBit == 1)) row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
    }
    return row;
}

}  // namespace

SPicture ThreeRegionPage() {
    SPicture page;
    page.width = 64;
    page.height = 48;
    page.planes = 1;
    page.samples.assign(size_t(page.width) * size_t(page.height), 255);
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const bool frame = x < 2 || y < 2 || x >= page.width - 2 || y >= page.height - 2;
            const bool split = x == 30 || x == 31;
            const bool shelf = x > 31 && (y == 24 || y == 25);
            if (frame || split || shelf) page.At(x, y, 0) = 0;
        }
    return page;
}

SPicture AsColour(const SPicture& gray, int planes) {
    SPicture colour;
    colour.width = gray.width;
    colour.height = gray.height;
    colour.planes = planes;
    for (size_t i = 0; i < gray.samples.size(); i += size_t(gray.planes)) {
        colour.samples.insert(colour.samples.end(), 3, gray.samples[i]);
        if (planes == 4) colour.samples.push_back(gray.planes == 2 ? gray.samples[i + 1] : 255);
    }
    return colour;
}

SPicture WithAlpha(const SPicture& gray) {
    SPicture both = gray;
    both.planes = 2;
    both.samples.clear();
    for (const uint8_t v : gray.samples) both.samples.insert(both.samples.end(), {v, 255});
    return both;
}

void SaveGrayPng(const std::string& path, const SPicture& gray, int bits) {
    FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngThrow, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(gray.width), png_uint_32(gray.height), bits,
                 gray.planes == 2 ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < gray.height; ++y) {
        std::vector<uint8_t> row =
            bits == 1
                ? PackedRow(gray, y, 1)
                : std::vector<uint8_t>(gray.samples.begin() + ptrdiff_t(y) * gray.width * gray.planes,
                                       gray.samples.begin() + ptrdiff_t(y + 1) * gray.width * gray.planes);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void SaveGrayTiff(const std::string& path, const SPicture& gray, int bits, bool minIsWhite) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    Require(tif != nullptr, "cannot create " + path);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(gray.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(gray.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, gray.planes);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, bits == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_DEFLATE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(gray.height));
    if (gray.planes == 2) {
        uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    for (int y = 0; y < gray.height; ++y) {
        std::vector<uint8_t> row =
            bits == 1
                ? PackedRow(gray, y, minIsWhite ? 0 : 1)
                : std::vector<uint8_t>(gray.samples.begin() + ptrdiff_t(y) * gray.width * gray.planes,
                                       gray.samples.begin() + ptrdiff_t(y + 1) * gray.width * gray.planes);
        Require(TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0, "cannot write " + path);
    }
    TIFFClose(tif);
}

std::vector<uint32_t> LoadGray16Png(const std::string& path, int* width, int* height) {
    FILE* file = std::fopen(path.c_str(), "rb");
    Require(file != nullptr, "cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngThrow, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_info(png, info);
    const bool gray16 =
        png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) == 16;
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    std::vector<uint32_t> samples;
    if (gray16) {
        std::vector<uint8_t> row(size_t(w) * 2);
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(png, row.data(), nullptr);
            for (png_uint_32 x = 0; x < w; ++x) samples.push_back(uint32_t(row[2 * x]) << 8 | row[2 * x + 1]);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    Require(gray16, path + " is not a 16-bit grayscale PNG");
    if (width) *width = int(w);
    if (height) *height = int(h);
    return samples;
}

}  // namespace tool_testing
