// PNG pixels as the tool reads them: a plain file through libdeflate gives
// what libpng wrote, under every row filter and sample layout, and every
// file that is not plain and clean is read, or refused, by libpng as before.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/ImageError.h"
#include "cli/ImageFiles.h"

namespace {

namespace fs = std::filesystem;

struct SWritten {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> samples;
};

// Samples that wander, so that every filter predicts something and the
// Paeth choice takes each of its three arms.
SWritten Samples(int width, int height, int channels, unsigned seed) {
    SWritten w{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels)};
    for (size_t i = 0; i < w.samples.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const uint8_t step = uint8_t((seed >> 16) % 9);
        w.samples[i] = uint8_t((i >= size_t(channels) ? w.samples[i - channels] : 128) + step - 4);
    }
    return w;
}

// Written by libpng with one row filter only, a text chunk after the
// pixels when asked, and stored rather than compressed when asked.
void Write(const std::string& path, const SWritten& w, int filters, bool textAfter = false,
           bool stored = false) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const int types[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                         PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(png, file);
    png_set_IHDR(png, info, w.width, w.height, 8, types[w.channels], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    if (stored) png_set_compression_level(png, 0);
    png_write_info(png, info);
    for (int y = 0; y < w.height; ++y)
        png_write_row(png, w.samples.data() + size_t(y) * w.width * w.channels);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = const_cast<char*>("after the pixels");
    if (textAfter) png_set_text(png, info, &text, 1);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

std::vector<uint8_t> Read(const std::string& path) {
    cli::EImageFormat format{};
    cli::SCodecOptions options;
    options.lineArt = true;  // takes gray too
    cli::SRaster raster = cli::ReadImage(path, format, options);
    const auto bytes = raster.pixels.Bytes();
    return {bytes.begin(), bytes.end()};
}

std::string Damaged(const std::string& path) {
    try {
        Read(path);
    } catch (const cli::CImageError& e) {
        return e.what();
    }
    return "read without a word";
}

class PngReading : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vandrel-png-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

private:
    fs::path dir_;
};

TEST_F(PngReading, EveryFilterAndLayoutGivesWhatLibpngWrote) {
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                           PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    for (int channels = 1; channels <= 4; ++channels)
        for (const int filter : filters) {
            // Wider than one of libpng's 8 KB buffers, taller than a
            // progress step.
            const SWritten w = Samples(3001, 70, channels, unsigned(channels * 31 + filter));
            const std::string path = Path("page.png");
            Write(path, w, filter);
            EXPECT_EQ(Read(path), w.samples) << channels << " channels, filters " << filter;
        }
}

TEST_F(PngReading, FilesNotPlainOrNotCleanAreLibpngs) {
    const SWritten w = Samples(400, 300, 3, 7);
    const std::string path = Path("page.png");
    // A chunk after the pixels: read all the same.
    Write(path, w, PNG_ALL_FILTERS, true);
    EXPECT_EQ(Read(path), w.samples);
    // Stored: the file's pixel data is larger than the page.
    Write(path, w, PNG_FILTER_NONE, false, true);
    EXPECT_EQ(Read(path), w.samples);

    Write(path, w, PNG_ALL_FILTERS);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t idat = bytes.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    auto rewrite = [&](const std::string& changed) { std::ofstream(path, std::ios::binary) << changed; };
    const std::string libpngSays = "truncated or damaged PNG file (libpng: ";
    // One byte of the pixels changed: its chunk's CRC no longer matches.
    std::string flipped = bytes;
    flipped[idat + 40] = char(flipped[idat + 40] ^ 0x10);
    rewrite(flipped);
    EXPECT_EQ(Damaged(path).rfind(libpngSays, 0), 0u) << Damaged(path);
    // Cut short in the pixels, and cut before the end chunk.
    rewrite(bytes.substr(0, idat + bytes.size() / 2 - idat / 2));
    EXPECT_EQ(Damaged(path).rfind(libpngSays, 0), 0u) << Damaged(path);
    rewrite(bytes.substr(0, bytes.size() - 12));
    EXPECT_EQ(Damaged(path).rfind(libpngSays, 0), 0u) << Damaged(path);
}

// Damaged pixel data under checksums that match, as a hostile file would
// have them: each is read or refused, never read past.
TEST_F(PngReading, DamagedPixelDataUnderGoodChecksumsIsReadOrRefused) {
    const SWritten w = Samples(300, 200, 4, 11);
    const std::string path = Path("page.png");
    Write(path, w, PNG_ALL_FILTERS);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t idat = bytes.find("IDAT") - 4;
    const uint32_t length = uint32_t(uint8_t(bytes[idat])) << 24 | uint32_t(uint8_t(bytes[idat + 1])) << 16 |
                            uint32_t(uint8_t(bytes[idat + 2])) << 8 | uint8_t(bytes[idat + 3]);
    unsigned seed = 5;
    for (int k = 0; k < 200; ++k) {
        std::string changed = bytes;
        for (int n = 0; n <= k % 4; ++n) {
            seed = seed * 1103515245u + 12345u;
            changed[idat + 8 + (seed >> 8) % length] = char(seed >> 24);
        }
        const uint32_t crc =
            uint32_t(crc32(0, reinterpret_cast<const Bytef*>(changed.data() + idat + 4), length + 4));
        for (int b = 0; b < 4; ++b) changed[idat + 8 + length + b] = char(crc >> (24 - 8 * b));
        std::ofstream(path, std::ios::binary) << changed;
        try {
            EXPECT_EQ(Read(path).size(), w.samples.size()) << k;
        } catch (const cli::CImageError&) {
        }
    }
}

}  // namespace
