// Test images written and read with libpng and libtiff directly, so the
// tool's own readers and writers are checked against the libraries rather
// than against themselves.
#pragma once

#include <tiff.h>

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace tool_testing {

struct SPicture {
    int width = 0;
    int height = 0;
    int planes = 3;
    std::vector<uint8_t> samples;  // interleaved, 8-bit

    uint8_t& At(int x, int y, int k) {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(k)];
    }
    bool operator==(const SPicture&) const = default;
};

// Failure messages show the samples row by row.
void PrintTo(const SPicture& picture, std::ostream* out);

// A picture from rows of characters, each standing for the samples of one pixel.
SPicture Picture(const std::vector<std::string>& rows, const std::map<char, std::vector<uint8_t>>& palette);

struct SFileFacts {
    double xRes = 0, yRes = 0;
    int unit = 0;  // PNG: PNG_RESOLUTION_*; TIFF: RESUNIT_*
    std::string icc;
    bool operator==(const SFileFacts&) const = default;
};

struct STiffLayout {
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t compression = COMPRESSION_NONE;
    bool separate = false;
    bool tiled = false;
    uint16_t extraKind = EXTRASAMPLE_UNASSALPHA;
    uint16_t orientation = ORIENTATION_TOPLEFT;
};

void SavePng(const std::string& path, const SPicture& picture, const SFileFacts& facts = {});
SPicture LoadPng(const std::string& path, SFileFacts* facts = nullptr);
void SaveTiff(const std::string& path, const SPicture& picture, const STiffLayout& layout = {},
              const SFileFacts& facts = {});
SPicture LoadTiff(const std::string& path, SFileFacts* facts = nullptr, uint16_t* photometric = nullptr);

// Files the tool must refuse: all-zero samples of the given kind.
void SavePngKind(const std::string& path, int width, int height, int colourType, int bitDepth);
void SaveTiffKind(const std::string& path, int width, int height, uint16_t photometric, uint16_t bits,
                  uint16_t samples, int pages = 1);

// A small ICC header that libpng accepts as an RGB display profile.
std::string MinimalRgbProfile();

}  // namespace tool_testing
