#include "tests/support/PictureFiles.h"

#include <png.h>
#include <tiffio.h>

#include <ostream>
#include <sstream>
#include <stdexcept>

namespace tool_testing {

namespace {

// Any libpng error here is a broken test, so the handler simply throws:
// x86-64 code carries unwind tables, libpng's frames included.
[[noreturn]] void PngThrow(png_structp, png_const_charp text) { throw std::runtime_error(text); }

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

void WritePngRows(const std::string& path, int width, int height, int colourType, int depth,
                  const std::vector<uint8_t>& bytes, const SFileFacts& facts) {
    FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr, "cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngThrow, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_color entry{0, 0, 0};
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, &entry, 1);
    if (facts.xRes > 0) png_set_pHYs(png, info, png_uint_32(facts.xRes), png_uint_32(facts.yRes), facts.unit);
    if (!facts.icc.empty())
        png_set_iCCP(png, info, "test profile", 0, reinterpret_cast<png_const_bytep>(facts.icc.data()),
                     png_uint_32(facts.icc.size()));
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, bytes.data() + size_t(y) * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

}  // namespace

void PrintTo(const SPicture& picture, std::ostream* out) {
    *out << picture.width << " x " << picture.height << " x " << picture.planes << ":";
    for (size_t i = 0; i < picture.samples.size(); ++i) {
        if (i % (size_t(picture.width) * size_t(picture.planes)) == 0)
            *out << "\n  ";
        else if (i % size_t(picture.planes) == 0)
            *out << " |";
        *out << ' ' << int(picture.samples[i]);
    }
}

SPicture Picture(const std::vector<std::string>& rows, const std::map<char, std::vector<uint8_t>>& palette) {
    SPicture p;
    p.height = int(rows.size());
    p.width = int(rows.at(0).size());
    p.planes = int(palette.begin()->second.size());
    for (const std::string& row : rows)
        for (char c : row) p.samples.insert(p.samples.end(), palette.at(c).begin(), palette.at(c).end());
    return p;
}

void SavePng(const std::string& path, const SPicture& picture, const SFileFacts& facts) {
    WritePngRows(path, picture.width, picture.height,
                 picture.planes == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, 8, picture.samples, facts);
}

void SavePngKind(const std::string& path, int width, int height, int colourType, int bitDepth) {
    const int channels = colourType == PNG_COLOR_TYPE_RGB          ? 3
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                   : 1;
    const size_t rowBytes = (size_t(width) * size_t(channels) * size_t(bitDepth) + 7) / 8;
    WritePngRows(path, width, height, colourType, bitDepth, std::vector<uint8_t>(rowBytes * size_t(height)),
                 {});
}

SPicture LoadPng(const std::string& path, SFileFacts* facts) {
    FILE* file = std::fopen(path.c_str(), "rb");
    Require(file != nullptr, "cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngThrow, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_info(png, info);
    SPicture p;
    p.width = int(png_get_image_width(png, info));
    p.height = int(png_get_image_height(png, info));
    p.planes = png_get_channels(png, info);
    Require(png_get_bit_depth(png, info) == 8, "not 8-bit");
    p.samples.resize(size_t(p.width) * size_t(p.height) * size_t(p.planes));
    for (int y = 0; y < p.height; ++y) png_read_row(png, &p.At(0, y, 0), nullptr);
    if (facts) {
        png_uint_32 x = 0, yRes = 0;
        int unit = 0;
        if (png_get_pHYs(png, info, &x, &yRes, &unit)) *facts = SFileFacts{double(x), double(yRes), unit, {}};
        png_charp name;
        int compression;
        png_bytep profile;
        png_uint_32 length;
        if (png_get_iCCP(png, info, &name, &compression, &profile, &length))
            facts->icc.assign(reinterpret_cast<char*>(profile), length);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return p;
}

void SaveTiff(const std::string& path, const SPicture& picture, const STiffLayout& layout,
              const SFileFacts& facts) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    Require(tif != nullptr, "cannot create " + path);
    const int colour = layout.photometric == PHOTOMETRIC_SEPARATED ? 4 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, picture.planes);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, layout.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
    if (picture.planes > colour) {
        uint16_t kind = layout.extraKind;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    if (facts.xRes > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, facts.xRes);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, facts.yRes);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, facts.unit);
    }
    if (!facts.icc.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(facts.icc.size()), facts.icc.data());
    // One sample plane (or all) of one block at a time, whatever the layout.
    auto block = [&](int x0, int y0, int w, int h, int plane) {
        std::vector<uint8_t> bytes;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                for (int k = 0; k < picture.planes; ++k)
                    if (plane < 0 || k == plane)
                        bytes.push_back(x < picture.width && y < picture.height
                                            ? const_cast<SPicture&>(picture).At(x, y, k)
                                            : uint8_t(0));
        return bytes;
    };
    const int passes = layout.separate ? picture.planes : 1;
    if (layout.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        for (int s = 0; s < passes; ++s)
            for (int y = 0; y < picture.height; y += 16)
                for (int x = 0; x < picture.width; x += 16) {
                    auto bytes = block(x, y, 16, 16, layout.separate ? s : -1);
                    Require(TIFFWriteTile(tif, bytes.data(), uint32_t(x), uint32_t(y), 0, uint16_t(s)) >= 0,
                            "tile");
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
        for (int s = 0; s < passes; ++s)
            for (int y = 0; y < picture.height; ++y) {
                auto bytes = block(0, y, picture.width, 1, layout.separate ? s : -1);
                Require(TIFFWriteScanline(tif, bytes.data(), uint32_t(y), uint16_t(s)) >= 0, "scanline");
            }
    }
    TIFFClose(tif);
}

void SaveTiffKind(const std::string& path, int width, int height, uint16_t photometric, uint16_t bits,
                  uint16_t samples, int pages) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    Require(tif != nullptr, "cannot create " + path);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        std::vector<uint16_t> map(size_t(1) << bits, 0);
        if (photometric == PHOTOMETRIC_PALETTE)
            TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
        std::vector<uint8_t> row(size_t(TIFFScanlineSize(tif)));
        for (int y = 0; y < height; ++y)
            Require(TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0, "scanline");
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

SPicture LoadTiff(const std::string& path, SFileFacts* facts, uint16_t* photometric) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    Require(tif != nullptr, "cannot open " + path);
    uint32_t width = 0, height = 0;
    uint16_t samples = 0, bits = 0, planar = 0, kind = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &kind);
    Require(bits == 8 && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tif), "unexpected TIFF layout");
    if (photometric) *photometric = kind;
    SPicture p{int(width), int(height), samples, {}};
    p.samples.resize(size_t(width) * height * samples);
    for (uint32_t y = 0; y < height; ++y)
        Require(TIFFReadScanline(tif, &p.At(0, int(y), 0), y, 0) >= 0, "read");
    if (facts) {
        float x = 0, yRes = 0;
        uint16_t unit = 0;
        *facts = {};
        if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yRes)) {
            TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
            *facts = SFileFacts{x, yRes, unit, {}};
        }
        uint32_t length = 0;
        void* profile = nullptr;
        if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile))
            facts->icc.assign(static_cast<char*>(profile), length);
    }
    TIFFClose(tif);
    return p;
}

std::string MinimalRgbProfile() {
    // One text tag of varied bytes: libpng passes over an iCCP chunk whose
    // compressed profile is shorter than a keyword may be.
    std::string p(400, '\0');
    auto put = [&](size_t at, const char* four) { p.replace(at, 4, four, 4); };
    auto number = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) p[at + size_t(i)] = char(v >> (24 - 8 * i));
    };
    number(0, uint32_t(p.size()));
    number(8, 0x02100000);  // version 2.1
    put(12, "mntr");
    put(16, "RGB ");
    put(20, "XYZ ");
    put(36, "acsp");
    number(68, 0x0000F6D6);  // D50 illuminant
    number(72, 0x00010000);
    number(76, 0x0000D32D);
    number(128, 1);
    put(132, "cprt");
    number(136, 144);
    number(140, uint32_t(p.size() - 144));
    put(144, "text");
    for (size_t i = 152; i < p.size(); ++i) p[i] = char(32 + (i * 37) % 95);
    return p;
}

}  // namespace tool_testing
