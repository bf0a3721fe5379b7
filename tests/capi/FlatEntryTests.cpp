// The C interface's flat against the plug-in itself in the simulator, in
// every layout a caller may hand over.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "capi/VandrelApi.h"
#include "sim/HostImage.h"
#include "tests/support/SimulatorRun.h"
#include "tests/support/TestImages.h"

namespace {

using testing_support::RgbSpec;
using testing_support::RunPlugin;
using testing_support::SRunOptions;

// A page of coloured panels crossed by black lines of several widths, with
// a solid black area deeper than a small depth: `planes` samples a pixel,
// the extra ones (alpha) varied so that a pass that touched them shows it.
std::vector<uint8_t> Page(int width, int height, int planes) {
    std::vector<uint8_t> page(size_t(width) * size_t(height) * size_t(planes));
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    std::vector<uint8_t> panel(64 * 4);
    for (auto& sample : panel) sample = uint8_t(60 + next() % 190);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &page[(size_t(y) * size_t(width) + size_t(x)) * size_t(planes)];
            const bool line = x % 17 < 2 || y % 23 < 3 || (x + y) % 31 == 0;
            const bool blot = x > width / 2 && x < width / 2 + 14 && y > 5 && y < 25;
            const int cell = (x / 17 + 8 * (y / 23)) % 64;
            for (int k = 0; k < planes; ++k) p[k] = line || blot ? 0 : panel[size_t(cell * 4 + k % 4)];
            for (int k = 3; k < planes; ++k) p[k] = uint8_t(next());
        }
    return page;
}

sim::CHostImage AsHostImage(const std::vector<uint8_t>& bytes, int width, int height, int planes) {
    sim::CHostImage image(width, height, planes);
    std::copy(bytes.begin(), bytes.end(), image.Bytes().begin());
    return image;
}

std::vector<uint8_t> Bytes(const sim::CHostImage& image) {
    return {image.Bytes().begin(), image.Bytes().end()};
}

// What the plug-in makes of the colour planes, flatted as a flat image.
std::vector<uint8_t> PluginResult(const std::vector<uint8_t>& colour, int width, int height, int planes,
                                  bool cmyk, int depth, bool white) {
    const sim::CHostImage image = AsHostImage(colour, width, height, planes);
    sim::SImageSpec spec = RgbSpec(image);
    spec.planes = int16_t(planes);
    if (cmyk) spec.imageMode = host::plugInModeCMYKColor;
    SRunOptions options;
    options.depth = depth;
    options.white = white;
    options.processors = 2;
    const auto run = RunPlugin(spec, image, options);
    EXPECT_EQ(run.result, host::noErr);
    return Bytes(run.output);
}

std::vector<uint8_t> ApiFlat(const std::vector<uint8_t>& pixels, int width, int height, int32_t layout,
                             int depth, bool white, int32_t expected = VANDREL_DONE) {
    std::vector<uint8_t> result(pixels.size());
    EXPECT_EQ(vandrel_flat(pixels.data(), result.data(), width, height, layout, depth, white ? 1 : 0, nullptr,
                           nullptr),
              expected);
    return result;
}

// Keeps `count` samples of every `stride`, from `first`.
std::vector<uint8_t> Planes(const std::vector<uint8_t>& pixels, int stride, std::vector<int> order) {
    std::vector<uint8_t> kept;
    for (size_t i = 0; i < pixels.size(); i += size_t(stride))
        for (int k : order) kept.push_back(pixels[i + size_t(k)]);
    return kept;
}

std::vector<uint8_t> Inverted(std::vector<uint8_t> samples) {
    for (auto& s : samples) s = uint8_t(255 - s);
    return samples;
}

constexpr int kWidth = 150, kHeight = 110;

TEST(ApiFlat, RgbIsThePluginsResult) {
    const auto page = Page(kWidth, kHeight, 3);
    for (auto [depth, white] : {std::pair{256, false}, std::pair{4, true}, std::pair{4, false}}) {
        const auto expected = PluginResult(page, kWidth, kHeight, 3, false, depth, white);
        EXPECT_EQ(ApiFlat(page, kWidth, kHeight, VANDREL_RGB, depth, white), expected) << depth;
        EXPECT_NE(expected, page);
    }
}

TEST(ApiFlat, RgbaFlatsTheColourAndKeepsTransparency) {
    const auto page = Page(kWidth, kHeight, 4);
    const auto result = ApiFlat(page, kWidth, kHeight, VANDREL_RGBA, 4, true);
    const auto colour = Planes(page, 4, {0, 1, 2});
    EXPECT_EQ(Planes(result, 4, {0, 1, 2}), PluginResult(colour, kWidth, kHeight, 3, false, 4, true));
    EXPECT_EQ(Planes(result, 4, {3}), Planes(page, 4, {3}));
}

TEST(ApiFlat, BgraIsRgbaInAnotherOrder) {
    const auto rgba = Page(kWidth, kHeight, 4);
    const auto bgra = Planes(rgba, 4, {2, 1, 0, 3});
    const auto fromRgba = ApiFlat(rgba, kWidth, kHeight, VANDREL_RGBA, 256, false);
    EXPECT_EQ(ApiFlat(bgra, kWidth, kHeight, VANDREL_BGRA, 256, false), Planes(fromRgba, 4, {2, 1, 0, 3}));
}

// CMYK comes as ink; the plug-in sees 255 minus the ink, as from a host.
TEST(ApiFlat, CmykInkIsFlattedAsAHostWouldHandItOver) {
    auto ink = Page(kWidth, kHeight, 4);
    // Black lines in ink: full K.
    for (size_t i = 0; i < ink.size(); i += 4)
        if (ink[i] == 0 && ink[i + 1] == 0) ink[i + 3] = 255;
    for (bool white : {false, true}) {
        const auto expected = Inverted(PluginResult(Inverted(ink), kWidth, kHeight, 4, true, 4, white));
        EXPECT_EQ(ApiFlat(ink, kWidth, kHeight, VANDREL_CMYK, 4, white), expected);
    }
}

TEST(ApiFlat, CmykaKeepsTransparencyUnflipped) {
    const auto cmyk = Planes(Page(kWidth, kHeight, 4), 4, {0, 1, 2, 3});
    std::vector<uint8_t> cmyka;
    for (size_t i = 0; i < cmyk.size(); i += 4) {
        cmyka.insert(cmyka.end(), cmyk.begin() + long(i), cmyk.begin() + long(i) + 4);
        cmyka.push_back(uint8_t(i % 251));
    }
    const auto result = ApiFlat(cmyka, kWidth, kHeight, VANDREL_CMYKA, 256, false);
    EXPECT_EQ(Planes(result, 5, {0, 1, 2, 3}), ApiFlat(cmyk, kWidth, kHeight, VANDREL_CMYK, 256, false));
    EXPECT_EQ(Planes(result, 5, {4}), Planes(cmyka, 5, {4}));
}

}  // namespace
