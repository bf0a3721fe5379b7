// The .ora as a zip reader finds it: members in order, each header's
// checksum and size true to the bytes, the stack described top first, and
// every PNG decoding (with libpng's own reader) to its layer's rows.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "layered/OraFile.h"

namespace {

using layered::EBlend;
using layered::EColourModel;
using layered::SLayer;
using layered::SLayerStack;

uint32_t Le(const std::string& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = count; i-- > 0;) value = (value << 8) | uint8_t(bytes.at(at + size_t(i)));
    return value;
}

// Walks the local headers front to back and checks the central directory
// against them; returns the members by name, in order in `order`.
std::map<std::string, std::string> Members(const std::string& zip, std::vector<std::string>& order) {
    std::map<std::string, std::string> members;
    std::map<std::string, uint32_t> offsets;
    size_t at = 0;
    while (Le(zip, at, 4) == 0x04034B50) {
        EXPECT_EQ(Le(zip, at + 6, 2), 0u);  // no flags: sizes are in the header
        EXPECT_EQ(Le(zip, at + 8, 2), 0u);  // stored
        const uint32_t crc = Le(zip, at + 14, 4), size = Le(zip, at + 18, 4);
        EXPECT_EQ(Le(zip, at + 22, 4), size);
        const size_t nameLength = Le(zip, at + 26, 2), extra = Le(zip, at + 28, 2);
        const std::string name = zip.substr(at + 30, nameLength);
        const std::string data = zip.substr(at + 30 + nameLength + extra, size);
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())), crc) << name;
        offsets[name] = uint32_t(at);
        members[name] = data;
        order.push_back(name);
        at += 30 + nameLength + extra + size;
    }
    const size_t directory = at;
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(Le(zip, at, 4), 0x02014B50u);
        const size_t nameLength = Le(zip, at + 28, 2);
        const std::string name = zip.substr(at + 46, nameLength);
        EXPECT_EQ(name, order[i]);
        EXPECT_EQ(Le(zip, at + 42, 4), offsets[name]);
        at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    }
    EXPECT_EQ(Le(zip, at, 4), 0x06054B50u);
    EXPECT_EQ(Le(zip, at + 10, 2), order.size());
    EXPECT_EQ(Le(zip, at + 16, 4), directory);
    EXPECT_EQ(at + 22, zip.size());
    return members;
}

std::vector<uint8_t> DecodedPng(const std::string& bytes, int& width, int& height, bool alpha) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        throw std::runtime_error(image.message);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        throw std::runtime_error(image.message);
    width = int(image.width);
    height = int(image.height);
    return pixels;
}

SLayer LayerOf(const std::vector<uint8_t>& pixels, int width, int planes, std::string name, EBlend blend,
               bool visible = true) {
    SLayer layer;
    layer.name = std::move(name);
    layer.blend = blend;
    layer.visible = visible;
    layer.hasAlpha = planes == 4;
    layer.row = [&pixels, width, planes](int y, std::vector<uint8_t>&) {
        return pixels.data() + size_t(y) * size_t(width) * size_t(planes);
    };
    return layer;
}

std::vector<uint8_t> Pattern(int width, int height, int planes, int seed) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * size_t(planes));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i / 7 * 31 + size_t(seed) * 101) % 256);
    return pixels;
}

std::string Written(const SLayerStack& stack) {
    std::string bytes;
    layered::WriteOra(
        stack, [&](const void* data, size_t size) { bytes.append(static_cast<const char*>(data), size); });
    return bytes;
}

TEST(OraFileTests, TheArchiveHoldsTheStackTopFirstAndEveryLayerAsItsRows) {
    const int width = 600, height = 9;  // wider than the thumbnail
    const std::vector<uint8_t> flats = Pattern(width, height, 3, 1), art = Pattern(width, height, 3, 2),
                               hints = Pattern(width, height, 3, 3);
    SLayerStack stack;
    stack.width = width;
    stack.height = height;
    stack.xDpi = stack.yDpi = 300;
    stack.layers = {LayerOf(flats, width, 3, "Flats", EBlend::Normal),
                    LayerOf(art, width, 3, "Line art & <ink>", EBlend::Multiply),
                    LayerOf(hints, width, 3, "Hints", EBlend::Normal, false)};
    const std::string zip = Written(stack);
    std::vector<std::string> order;
    const auto members = Members(zip, order);
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.front(), "mimetype");
    EXPECT_EQ(zip.substr(30, 24), "mimetypeimage/openraster");
    const std::string& xml = members.at("stack.xml");
    const size_t hidden = xml.find("name=\"Hints\""),
                 multiply = xml.find("name=\"Line art &amp; &lt;ink&gt;\""),
                 bottom = xml.find("name=\"Flats\"");
    ASSERT_NE(hidden, std::string::npos) << xml;
    ASSERT_NE(multiply, std::string::npos) << xml;
    ASSERT_NE(bottom, std::string::npos) << xml;
    EXPECT_LT(hidden, multiply);
    EXPECT_LT(multiply, bottom);
    EXPECT_NE(xml.find("visibility=\"hidden\" composite-op=\"svg:src-over\"", hidden), std::string::npos);
    EXPECT_EQ(xml.find("svg:multiply", multiply), xml.find("svg:multiply"));
    EXPECT_NE(xml.find("xres=\"300\""), std::string::npos);

    const std::vector<const std::vector<uint8_t>*> pictures = {&flats, &art, &hints};
    for (size_t i = 0; i < pictures.size(); ++i) {
        int w = 0, h = 0;
        EXPECT_EQ(DecodedPng(members.at("data/layer" + std::to_string(i) + ".png"), w, h, false),
                  *pictures[i]);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
    int w = 0, h = 0;
    const std::vector<uint8_t> merged = DecodedPng(members.at("mergedimage.png"), w, h, false);
    for (size_t i = 0; i < merged.size(); ++i) ASSERT_EQ(merged[i], (flats[i] * art[i] + 127) / 255) << i;
    DecodedPng(members.at("Thumbnails/thumbnail.png"), w, h, false);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 4);
}

TEST(OraFileTests, CmykIsRefusedAndAFailingFileStopsTheWriting) {
    const std::vector<uint8_t> pixels = Pattern(4, 4, 4, 1);
    SLayerStack stack;
    stack.width = stack.height = 4;
    stack.model = EColourModel::Cmyk;
    stack.layers = {LayerOf(pixels, 4, 4, "Flats", EBlend::Normal)};
    EXPECT_THROW(Written(stack), std::invalid_argument);
    // The file's failure comes back through libpng as itself.
    stack.model = EColourModel::Rgb;
    size_t taken = 0;
    auto full = [&](const void*, size_t size) {
        if (taken + size > 200) throw std::length_error("disk full");
        taken += size;
    };
    EXPECT_THROW(layered::WriteOra(stack, full), std::length_error);
}

}  // namespace
