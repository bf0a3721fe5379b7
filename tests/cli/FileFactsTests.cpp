// What a written file holds beyond its pixels: the same bytes whatever the
// machine's worker count, and a PNG's EXIF (its orientation) kept as a
// TIFF's orientation is.
#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "cli/BandedDeflate.h"
#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using FileFacts = ToolTest;

std::string Joined(const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& piece : pieces) all += piece;
    return all;
}

// Bands are cut by size, so a page of several bands shows it; rows of
// varied content, so that a band's end changes what follows it.
TEST(BandedDeflate, TheStreamIsTheSameForAnyWorkerCount) {
    const size_t rowBytes = 3 * 1500;
    const int height = 3000;  // 13.5 MB: three bands
    std::vector<uint8_t> pixels(rowBytes * height);
    uint32_t state = 7;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 97 == 0) state = state * 1664525u + 1013904223u;
        pixels[i] = uint8_t(state >> 24);
    }
    std::string first;
    for (const int threads : {1, 2, 3, 8}) {
        const std::string stream =
            Joined(cli::DeflateRowsUp(pixels.data(), rowBytes, height, {6, threads, {}}, {}));
        if (threads == 1) {
            first = stream;
            // And it is one zlib stream, of the filtered rows.
            std::vector<uint8_t> out((rowBytes + 1) * height);
            uLongf size = uLongf(out.size());
            ASSERT_EQ(uncompress(out.data(), &size, reinterpret_cast<const Bytef*>(stream.data()),
                                 uLong(stream.size())),
                      Z_OK);
            EXPECT_EQ(size, out.size());
        }
        EXPECT_EQ(stream, first) << threads << " workers";
    }
}

// The chunk as a PNG stores it: length, type, data, CRC.
std::string Chunk(const std::string& type, const std::string& data) {
    std::string chunk;
    const uint32_t length = uint32_t(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(length >> shift);
    chunk += type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data() + 4), uInt(chunk.size() - 4));
    for (int shift = 24; shift >= 0; shift -= 8) chunk += char(crc >> shift);
    return chunk;
}

// Big-endian EXIF of one entry: orientation 6 (turned a quarter clockwise).
std::string OrientationExif() {
    return std::string("MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
}

TEST_F(FileFacts, APngsExifOrientationIsKeptInTheFlats) {
    const std::string exifChunk = Chunk("eXIf", OrientationExif());
    // After the 8-byte signature and the 25-byte IHDR chunk.
    auto withExif = [&](const std::string& png) { return png.substr(0, 33) + exifChunk + png.substr(33); };
    SaveGrayPng(Path("gray.png"), ThreeRegionPage());
    WriteBytes(Path("lines.png"), withExif(ReadBytes(Path("gray.png"))));
    SavePng(Path("plain.png"), Picture({"r#b"}, kRgb));
    WriteBytes(Path("colour.png"), withExif(ReadBytes(Path("plain.png"))));
    for (const auto& [command, input] :
         {std::pair{"autoflat", "lines.png"}, std::pair{"flat", "colour.png"}}) {
        const SToolRun run = RunTool({command, Path(input), "-o", Path("out.png")});
        ASSERT_EQ(run.status, 0) << command << ": " << run.err;
        EXPECT_NE(ReadBytes(Path("out.png")).find(exifChunk), std::string::npos) << command;
        std::filesystem::remove(Path("out.png"));
    }
}

// A webtoon strip is taller than the plug-in's hosts allow, not than auto
// flats do; flatting still refuses it, and memory limits still hold.
TEST_F(FileFacts, AutoflatTakesAStripTallerThanAHostAllows) {
    SPicture strip;
    strip.width = 40;
    strip.height = 40000;
    strip.planes = 1;
    strip.samples.assign(size_t(strip.width) * strip.height, 255);
    for (int y = 0; y < strip.height; ++y)
        for (int x = 0; x < strip.width; ++x)
            if (x < 2 || x >= strip.width - 2 || y % 1000 < 2 || y >= strip.height - 2) strip.At(x, y, 0) = 0;
    SaveGrayPng(Path("strip.png"), strip);
    SToolRun run = RunTool({"autoflat", Path("strip.png"), "-o", Path("flats.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LoadPng(Path("flats.png")).height, 40000);
    SavePng(Path("colour.png"), AsColour(strip, 3));
    run = RunTool({"flat", Path("colour.png"), "-o", Path("flat.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("40 x 40000 pixels is more than 32767 pixels on a side"), std::string::npos)
        << run.err;
    if (kSanitizerBuild) return;
    // 1100 x 60000 is past a gigabyte of auto flats' tables: refused before it is read.
    WriteBytes(Path("tall.png"), BlackPng(1100, 60000));
    run = RunTool({"autoflat", Path("tall.png"), "-o", Path("tall-flats.png")},
                  {.addressBytes = rlim_t(1) << 30});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("not enough memory for this page"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("tall-flats.png")));
}

}  // namespace
