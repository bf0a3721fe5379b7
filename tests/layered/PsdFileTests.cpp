// The .psd as the published format lays it out, read back by a reader of
// the format's own written here, independent of the writer: every length
// the writer states must lead to the next section, and every coded row
// must decode to the layer's own row.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "layered/PsdFile.h"

namespace {

using layered::EBlend;
using layered::EColourModel;
using layered::SLayer;
using layered::SLayerStack;

struct SReader {
    const std::string& bytes;
    size_t at = 0;

    uint32_t U(int count) {
        if (at + size_t(count) > bytes.size()) throw std::out_of_range("past the end");
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | uint8_t(bytes[at++]);
        return value;
    }
    std::string Text(size_t count) {
        if (at + count > bytes.size()) throw std::out_of_range("past the end");
        at += count;
        return bytes.substr(at - count, count);
    }
};

// Reverses PackBits; throws on a malformed or wrongly sized row.
std::vector<uint8_t> Unpack(const std::string& coded, size_t expected) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < coded.size();) {
        const int8_t header = int8_t(coded[i++]);
        if (header >= 0) {
            for (int k = 0; k <= header; ++k) out.push_back(uint8_t(coded.at(i++)));
        } else if (header != -128) {
            out.insert(out.end(), size_t(1 - header), uint8_t(coded.at(i++)));
        }
    }
    if (out.size() != expected) throw std::runtime_error("a row decodes to the wrong width");
    return out;
}

struct SReadLayer {
    std::string name, unicodeName, blend;
    uint8_t flags = 0;
    std::vector<std::pair<int16_t, uint32_t>> channels;  // id, length
    std::vector<std::vector<uint8_t>> planes;            // in channel order
};

struct SReadFile {
    int channels = 0, width = 0, height = 0, mode = 0;
    double xDpi = 0;
    int resolutionUnit = 0;
    std::string icc;
    int layerCount = 0;  // signed, as stored
    std::vector<SReadLayer> layers;
    std::vector<std::vector<uint8_t>> merged;
};

std::vector<uint8_t> ReadRows(SReader& r, const std::vector<uint16_t>& lengths, int width) {
    std::vector<uint8_t> plane;
    for (uint16_t length : lengths) {
        const std::vector<uint8_t> row = Unpack(r.Text(length), size_t(width));
        plane.insert(plane.end(), row.begin(), row.end());
    }
    return plane;
}

void ReadLayers(SReader& r, SReadFile& f) {
    const size_t sectionEnd = r.U(4) + r.at;
    const size_t infoEnd = r.U(4) + r.at;
    f.layerCount = int16_t(r.U(2));
    for (int i = 0; i < std::abs(f.layerCount); ++i) {
        SReadLayer layer;
        EXPECT_EQ(r.U(4), 0u);
        EXPECT_EQ(r.U(4), 0u);
        EXPECT_EQ(int(r.U(4)), f.height);
        EXPECT_EQ(int(r.U(4)), f.width);
        const int channels = int(r.U(2));
        for (int c = 0; c < channels; ++c) {
            const int16_t id = int16_t(r.U(2));
            layer.channels.emplace_back(id, r.U(4));
        }
        EXPECT_EQ(r.Text(4), "8BIM");
        layer.blend = r.Text(4);
        EXPECT_EQ(r.U(1), 255u);  // opacity
        r.U(1);
        layer.flags = uint8_t(r.U(1));
        r.U(1);
        const size_t extraEnd = r.U(4) + r.at;
        EXPECT_EQ(r.U(4), 0u);
        EXPECT_EQ(r.U(4), 0u);
        const size_t nameStart = r.at;
        layer.name = r.Text(r.U(1));
        r.at = nameStart + (r.at - nameStart + 3) / 4 * 4;
        while (r.at < extraEnd) {
            EXPECT_EQ(r.Text(4), "8BIM");
            const std::string key = r.Text(4);
            const size_t end = r.U(4) + r.at;
            if (key == "luni") {
                const uint32_t count = r.U(4);
                for (uint32_t k = 0; k < count; ++k) layer.unicodeName += char(r.U(2));
            }
            r.at = end;
        }
        ASSERT_EQ(r.at, extraEnd);
        f.layers.push_back(layer);
    }
    for (SReadLayer& layer : f.layers)
        for (const auto& [id, length] : layer.channels) {
            const size_t end = r.at + length;
            EXPECT_EQ(r.U(2), 1u);  // run-length coded
            std::vector<uint16_t> lengths;
            for (int y = 0; y < f.height; ++y) lengths.push_back(uint16_t(r.U(2)));
            layer.planes.push_back(ReadRows(r, lengths, f.width));
            ASSERT_EQ(r.at, end) << "channel " << id << " of " << layer.name;
        }
    ASSERT_LE(infoEnd - r.at, 1u);  // padded to even
    r.at = infoEnd;
    EXPECT_EQ(r.U(4), 0u);  // global layer mask
    ASSERT_EQ(r.at, sectionEnd);
}

SReadFile ReadPsd(const std::string& bytes) {
    SReader r{bytes};
    SReadFile f;
    EXPECT_EQ(r.Text(4), "8BPS");
    EXPECT_EQ(r.U(2), 1u);
    r.Text(6);
    f.channels = int(r.U(2));
    f.height = int(r.U(4));
    f.width = int(r.U(4));
    EXPECT_EQ(r.U(2), 8u);
    f.mode = int(r.U(2));
    EXPECT_EQ(r.U(4), 0u);  // colour mode data
    const size_t resourcesEnd = r.U(4) + r.at;
    while (r.at < resourcesEnd) {
        EXPECT_EQ(r.Text(4), "8BIM");
        const uint32_t id = r.U(2);
        const size_t nameStart = r.at;
        r.Text(r.U(1));
        if ((r.at - nameStart) & 1) r.U(1);
        const uint32_t size = r.U(4);
        const size_t end = r.at + size + (size & 1);
        if (id == 0x03ED) {
            f.xDpi = r.U(4) / 65536.0;
            f.resolutionUnit = int(r.U(2));
        } else if (id == 0x040F) {
            f.icc = r.Text(size);
        }
        r.at = end;
    }
    ReadLayers(r, f);
    EXPECT_EQ(r.U(2), 1u);
    std::vector<std::vector<uint16_t>> lengths(size_t(f.channels));
    for (auto& channel : lengths)
        for (int y = 0; y < f.height; ++y) channel.push_back(uint16_t(r.U(2)));
    for (const auto& channel : lengths) f.merged.push_back(ReadRows(r, channel, f.width));
    EXPECT_EQ(r.at, bytes.size()) << "bytes after the merged page";
    return f;
}

// A layer lent from interleaved pixels held by the test.
SLayer LayerOf(const std::vector<uint8_t>& pixels, int width, int planes, std::string name, EBlend blend,
               bool alpha, bool visible = true) {
    SLayer layer;
    layer.name = std::move(name);
    layer.blend = blend;
    layer.hasAlpha = alpha;
    layer.visible = visible;
    layer.row = [&pixels, width, planes](int y, std::vector<uint8_t>&) {
        return pixels.data() + size_t(y) * size_t(width) * size_t(planes);
    };
    return layer;
}

std::vector<uint8_t> Plane(const std::vector<uint8_t>& pixels, int planes, int plane) {
    std::vector<uint8_t> out;
    for (size_t i = size_t(plane); i < pixels.size(); i += size_t(planes)) out.push_back(pixels[i]);
    return out;
}

std::string Written(const SLayerStack& stack) {
    std::string bytes;
    layered::WritePsd(
        stack, [&](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); });
    return bytes;
}

// Flat areas and single pixels both: runs and literals in every row.
std::vector<uint8_t> Picture(int width, int height, int planes, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * size_t(planes));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] =
            (i / size_t(planes)) % 7 < 4 ? uint8_t(40 * (i % size_t(planes)) + 30) : uint8_t(random());
    return pixels;
}

TEST(PsdFileTests, AnRgbPageReadsBackAsLineArtMultipliedOverItsFlats) {
    const int width = 300, height = 5;
    const std::vector<uint8_t> flats = Picture(width, height, 3, 1), art = Picture(width, height, 3, 2);
    SLayerStack stack;
    stack.width = width;
    stack.height = height;
    stack.xDpi = stack.yDpi = 600;
    stack.iccProfile = std::string("profile\0bytes", 13);
    stack.layers = {LayerOf(flats, width, 3, "Flats", EBlend::Normal, false),
                    LayerOf(art, width, 3, "Line art \xc3\xa9", EBlend::Multiply, false)};
    const SReadFile f = ReadPsd(Written(stack));
    EXPECT_EQ(f.mode, 3);
    EXPECT_EQ(f.channels, 3);
    EXPECT_EQ(f.xDpi, 600.0);
    EXPECT_EQ(f.resolutionUnit, 1);
    EXPECT_EQ(f.icc, stack.iccProfile);
    ASSERT_EQ(f.layerCount, 2);  // positive: the merged page has no transparency
    EXPECT_EQ(f.layers[0].name, "Flats");
    EXPECT_EQ(f.layers[0].blend, "norm");
    EXPECT_EQ(f.layers[1].name, "Line art ?");
    EXPECT_EQ(f.layers[1].unicodeName, "Line art \xe9");
    EXPECT_EQ(f.layers[1].blend, "mul ");
    EXPECT_EQ(f.layers[1].flags & 2, 0);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(f.layers[0].planes[size_t(p)], Plane(flats, 3, p));
        EXPECT_EQ(f.layers[1].planes[size_t(p)], Plane(art, 3, p));
        const std::vector<uint8_t> a = Plane(flats, 3, p), b = Plane(art, 3, p);
        for (size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(f.merged[size_t(p)][i], (a[i] * b[i] + 127) / 255) << "plane " << p << " pixel " << i;
    }
}

TEST(PsdFileTests, CmykIsStoredAsPhotoshopStoresItInverted) {
    const int width = 40, height = 3;
    const std::vector<uint8_t> flats = Picture(width, height, 4, 3), art = Picture(width, height, 4, 4);
    SLayerStack stack;
    stack.width = width;
    stack.height = height;
    stack.model = EColourModel::Cmyk;
    stack.layers = {LayerOf(flats, width, 4, "Flats", EBlend::Normal, false),
                    LayerOf(art, width, 4, "Line art", EBlend::Multiply, false)};
    const SReadFile f = ReadPsd(Written(stack));
    EXPECT_EQ(f.mode, 4);
    EXPECT_EQ(f.channels, 4);
    for (int p = 0; p < 4; ++p) {
        const std::vector<uint8_t> ink = Plane(flats, 4, p), artInk = Plane(art, 4, p);
        for (size_t i = 0; i < ink.size(); ++i) {
            ASSERT_EQ(f.layers[0].planes[size_t(p)][i], 255 - ink[i]);
            // Multiply darkens: the paper left is the product of the papers.
            ASSERT_EQ(f.merged[size_t(p)][i], ((255 - ink[i]) * (255 - artInk[i]) + 127) / 255);
        }
    }
}

TEST(PsdFileTests, TransparencyAndAHiddenLayerAreMarkedAsTheFormatSays) {
    const int width = 20, height = 2;
    std::vector<uint8_t> flats = Picture(width, height, 4, 5), hints = Picture(width, height, 3, 6);
    for (size_t i = 3; i < flats.size(); i += 4) flats[i] = i % 8 == 3 ? 0 : 255;
    SLayerStack stack;
    stack.width = width;
    stack.height = height;
    stack.layers = {LayerOf(flats, width, 4, "Flats", EBlend::Normal, true),
                    LayerOf(hints, width, 3, "Hints", EBlend::Normal, false, false)};
    const SReadFile f = ReadPsd(Written(stack));
    EXPECT_EQ(f.layerCount, -2);  // the merged page's fourth channel is its alpha
    EXPECT_EQ(f.channels, 4);
    ASSERT_EQ(f.layers[0].channels.size(), 4u);
    EXPECT_EQ(f.layers[0].channels[3].first, -1);
    EXPECT_EQ(f.layers[0].planes[3], Plane(flats, 4, 3));
    EXPECT_EQ(f.layers[1].flags & 2, 2);
    // The hidden hints leave the merged page alone: transparent pixels are
    // white there, as Photoshop stores them, and opaque ones the flats.
    for (size_t i = 0; i < size_t(width * height); ++i) {
        const bool clear = flats[i * 4 + 3] == 0;
        ASSERT_EQ(f.merged[3][i], clear ? 0 : 255);
        ASSERT_EQ(f.merged[0][i], clear ? 255 : flats[i * 4]);
    }
}

TEST(PsdFileTests, PagesTheFormatCannotHoldAreRefusedBeforeAByteIsWritten) {
    std::vector<uint8_t> row(3 * 30001);
    SLayerStack stack;
    stack.width = 30001;
    stack.height = 1;
    stack.layers = {LayerOf(row, 30001, 3, "Flats", EBlend::Normal, false)};
    bool wrote = false;
    auto write = [&](const void*, size_t) { wrote = true; };
    EXPECT_THROW(layered::WritePsd(stack, write), std::invalid_argument);
    stack.width = 1;
    stack.layers.clear();
    EXPECT_THROW(layered::WritePsd(stack, write), std::invalid_argument);
    EXPECT_FALSE(wrote);
}

}  // namespace
