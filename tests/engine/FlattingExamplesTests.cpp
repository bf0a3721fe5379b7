// Small pictures whose flatting can be worked out by hand, run through the
// real plug-in, in the host's thread and on workers.
#include <gtest/gtest.h>

#include "engine/FlatStrip.h"
#include "tests/engine/EngineTesting.h"
#include "tests/support/SimulatorRun.h"
#include "tests/support/TestImages.h"

using namespace testing_support;
using engine_testing::IsBlack;
using engine_testing::RunPlugin;
using engine_testing::SRunOptions;

namespace {

std::vector<uint8_t> PixelOf(const sim::CHostImage& image, int x, int y) {
    std::vector<uint8_t> planes;
    for (int k = 0; k < image.Planes(); ++k) planes.push_back(image.At(x, y, k));
    return planes;
}

// Black pixels in a few different shades, so copies can be traced.
void Shade(sim::CHostImage& image, int x, int y, int shade) {
    image.SetPixel(x, y, {uint8_t(shade % 9), 0, uint8_t(8 - shade % 9)});
}

TEST(BlackLimits, RgbCountsEveryPlaneUpToEightAndCmykOnlyTheKPlaneBelowSixty) {
    const uint8_t rgb[][3] = {{8, 8, 8}, {9, 0, 0}, {0, 0, 9}, {0, 0, 0}};
    EXPECT_TRUE(IsBlackPixel(rgb[0], 1, 3, false));
    EXPECT_FALSE(IsBlackPixel(rgb[1], 1, 3, false));
    EXPECT_FALSE(IsBlackPixel(rgb[2], 1, 3, false));
    // The plane step is honoured: planes 0, 2 and 4 of this run of bytes.
    const uint8_t planar[] = {0, 200, 0, 200, 9};
    EXPECT_FALSE(IsBlackPixel(planar, 2, 3, false));
    EXPECT_TRUE(IsBlackPixel(planar, 2, 2, false));

    const uint8_t cmyk[][4] = {{255, 255, 255, 59}, {0, 0, 0, 60}};
    EXPECT_TRUE(IsBlackPixel(cmyk[0], 1, 4, true));
    EXPECT_FALSE(IsBlackPixel(cmyk[1], 1, 4, true));

    // Only the low 8 bits of the plane count take part in the RGB test.
    EXPECT_TRUE(IsBlackPixel(rgb[1], 1, 256, false));
    EXPECT_FALSE(IsBlackPixel(rgb[1], 1, 257, false));
}

class Examples : public ::testing::TestWithParam<int> {
protected:
    SRunOptions Options(int depth = 256, bool white = false) const {
        SRunOptions options;
        options.depth = depth;
        options.white = white;
        options.processors = GetParam();
        return options;
    }
};

TEST_P(Examples, AnImageWithoutBlackComesOutAsSupplied) {
    auto image = ImageFromRows({"rgby.", "..rgb", "yyyyy"});
    image.SetPixel(1, 1, {9, 0, 0});
    const auto run = RunPlugin(RgbSpec(image), image, Options());
    ASSERT_EQ(run.result, host::noErr);
    EXPECT_EQ(run.output, image);
    EXPECT_TRUE(run.guardsIntact);
}

TEST_P(Examples, TheMiddleOfThreeBlackColumnsTakesTheRightHandColour) {
    const auto image = ImageFromRows({"r###b", "r###b", "r###b", "r###b", "r###b"});
    const auto run = RunPlugin(RgbSpec(image), image, Options());
    ASSERT_EQ(run.result, host::noErr);
    EXPECT_EQ(run.output, ImageFromRows({"rrbbb", "rrbbb", "rrbbb", "rrbbb", "rrbbb"}));
}

TEST_P(Examples, TheMiddleOfThreeBlackRowsTakesTheColourBelow) {
    const auto image = ImageFromRows({"rrrrr", "#####", "#####", "#####", "bbbbb"});
    const auto run = RunPlugin(RgbSpec(image), image, Options());
    ASSERT_EQ(run.result, host::noErr);
    EXPECT_EQ(run.output, ImageFromRows({"rrrrr", "rrrrr", "bbbbb", "bbbbb", "bbbbb"}));
}

TEST_P(Examples, InAOnePixelWideImageTheSearchGivesUpThreeRowsAway) {
    auto image = ImageFromRows({"r", "#", "#", "#", "#", "#", "#", "#", "#", "#"});
    for (int y = 1; y < 10; ++y) Shade(image, 0, y, y);
    const auto run = RunPlugin(RgbSpec(image), image, Options());
    ASSERT_EQ(run.result, host::noErr);
    EXPECT_EQ(PixelOf(run.output, 0, 1), PixelOf(image, 0, 0));
    EXPECT_EQ(PixelOf(run.output, 0, 2), PixelOf(image, 0, 0));
    for (int y = 3; y < 10; ++y) EXPECT_TRUE(IsBlack(run.output, 0, y, false)) << "row " << y;
    if (GetParam() == 1) {
        // One strip walked downwards: the last pixel read before giving up
        // is the one two rows up.
        for (int y = 3; y < 10; ++y)
            EXPECT_EQ(PixelOf(run.output, 0, y), PixelOf(image, 0, y - 2)) << "row " << y;
    }
}

TEST_P(Examples, AllBlackBeyondTheDepthIsPaintedWhiteOnlyWhenAsked) {
    const auto image = SolidImage(20, 20, 3, kBlack);
    const auto white = RunPlugin(RgbSpec(image), image, Options(10, true));
    ASSERT_EQ(white.result, host::noErr);
    EXPECT_EQ(white.output, SolidImage(20, 20, 3, kWhite));

    const auto black = RunPlugin(RgbSpec(image), image, Options(10, false));
    ASSERT_EQ(black.result, host::noErr);
    EXPECT_EQ(black.output, image);
}

TEST_P(Examples, AllBlackFourPixelsWideGivesUpAtTheBorderWhateverTheRemainder) {
    auto image = SolidImage(4, 30, 3, kBlack);
    for (bool white : {false, true}) {
        const auto run = RunPlugin(RgbSpec(image), image, Options(10, white));
        ASSERT_EQ(run.result, host::noErr);
        EXPECT_EQ(run.output, image) << "white " << white;
    }
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 4; ++x) Shade(image, x, y, x + 3 * y);
    const auto shaded = RunPlugin(RgbSpec(image), image, Options(10, true));
    ASSERT_EQ(shaded.result, host::noErr);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_TRUE(IsBlack(shaded.output, x, y, false)) << x << "," << y;
}

// A 41 x 41 black square with one red pixel at (20, 20); the borders are far
// enough that no search of these depths gives up.
sim::CHostImage RedDotInBlack() {
    auto image = SolidImage(41, 41, 3, kBlack);
    Paint(image, 20, 20, kRed);
    return image;
}

TEST_P(Examples, BeyondTheDepthNothingIsFoundAndTheDepthCountsFromTenUp) {
    const auto image = RedDotInBlack();
    const auto deep = RunPlugin(RgbSpec(image), image, Options(12, true));
    ASSERT_EQ(deep.result, host::noErr);
    EXPECT_EQ(PixelOf(deep.output, 20, 8), PixelOf(image, 20, 20));        // (0, 12) away
    EXPECT_EQ(PixelOf(deep.output, 19, 8), std::vector<uint8_t>(3, 255));  // (1, 12): 145 > 144
    EXPECT_EQ(PixelOf(deep.output, 29, 29), std::vector<uint8_t>(3, 255));

    const auto left = RunPlugin(RgbSpec(image), image, Options(12, false));
    EXPECT_EQ(PixelOf(left.output, 19, 8), PixelOf(image, 19, 8));

    // A depth of 3 still searches the ten built-in rings.
    const auto shallow = RunPlugin(RgbSpec(image), image, Options(3, true));
    ASSERT_EQ(shallow.result, host::noErr);
    EXPECT_EQ(PixelOf(shallow.output, 20, 10), PixelOf(image, 20, 20));       // 10 away
    EXPECT_EQ(PixelOf(shallow.output, 27, 27), PixelOf(image, 20, 20));       // 7² + 7² = 98
    EXPECT_EQ(PixelOf(shallow.output, 20, 9), std::vector<uint8_t>(3, 255));  // 11 away
}

TEST_P(Examples, EqualDistancesAreSettledByTheSearchOrder) {
    // From (12, 12): green at (3, 4) and blue at (0, 5), both 5 away.
    auto image = SolidImage(30, 30, 3, kBlack);
    Paint(image, 15, 16, kGreen);
    Paint(image, 12, 17, kBlue);
    auto run = RunPlugin(RgbSpec(image), image, Options());
    EXPECT_EQ(PixelOf(run.output, 12, 12), PixelOf(image, 15, 16));

    // From (14, 14): green at (5, 12) and blue at (0, 13), both 13 away.
    image = SolidImage(40, 40, 3, kBlack);
    Paint(image, 19, 26, kGreen);
    Paint(image, 14, 27, kBlue);
    run = RunPlugin(RgbSpec(image), image, Options());
    EXPECT_EQ(PixelOf(run.output, 14, 14), PixelOf(image, 14, 27));

    // Four colours around one black pixel: below wins, then right.
    image = ImageFromRows({".g.", "b#r", ".y."});
    run = RunPlugin(RgbSpec(image), image, Options());
    EXPECT_EQ(PixelOf(run.output, 1, 1), PixelOf(image, 1, 2));
    image = ImageFromRows({".g.", "b#r", "..."});
    image.SetPixel(1, 2, {0, 0, 0});
    image.SetPixel(0, 2, {0, 0, 0});
    image.SetPixel(2, 2, {0, 0, 0});
    run = RunPlugin(RgbSpec(image), image, Options());
    EXPECT_EQ(PixelOf(run.output, 1, 1), PixelOf(image, 2, 1));
}

TEST_P(Examples, CmykTakesAllFourPlanesOfTheNearestInkLighterThanBlack) {
    sim::CHostImage image(6, 3, 4);
    for (int y = 0; y < 3; ++y) {
        image.SetPixel(0, y, {10, 20, 30, 60});    // K at the limit: a colour
        image.SetPixel(1, y, {200, 100, 50, 59});  // black, whatever C, M, Y say
        image.SetPixel(2, y, {1, 2, 3, 0});
        image.SetPixel(3, y, {4, 5, 6, 1});
        image.SetPixel(4, y, {7, 8, 9, 2});
        image.SetPixel(5, y, {40, 50, 60, 255});
    }
    sim::SImageSpec imageSpec = RgbSpec(image);
    imageSpec.imageMode = host::plugInModeCMYKColor;
    const auto run = RunPlugin(imageSpec, image, Options());
    ASSERT_EQ(run.result, host::noErr);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(PixelOf(run.output, 1, y), PixelOf(image, 0, y));
        EXPECT_EQ(PixelOf(run.output, 2, y), PixelOf(image, 0, y));
        EXPECT_EQ(PixelOf(run.output, 3, y), PixelOf(image, 5, y));
        EXPECT_EQ(PixelOf(run.output, 4, y), PixelOf(image, 5, y));
    }
}

TEST_P(Examples, ALayerKeepsItsTransparencyPlaneUntouched) {
    auto image = SolidImage(5, 4, 4, kBlack);
    for (int y = 0; y < 4; ++y) {
        image.SetPixel(0, y, {255, 0, 0, 17});
        for (int x = 1; x < 5; ++x) image.At(x, y, 3) = uint8_t(3 * x + y);  // transparency, low values
    }
    sim::SImageSpec imageSpec = RgbSpec(image);
    imageSpec.filterCase = host::filterCaseEditableTransparencyNoSelection;
    imageSpec.outLayerPlanes = 3;
    const auto run = RunPlugin(imageSpec, image, Options());
    ASSERT_EQ(run.result, host::noErr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(run.output.At(x, y, 0), 255);
            EXPECT_EQ(run.output.At(x, y, 3), image.At(x, y, 3));
        }
}

INSTANTIATE_TEST_SUITE_P(HostThreadAndWorkers, Examples, ::testing::Values(1, 3),
                         [](const auto& info) { return info.param == 1 ? "HostThread" : "ThreeWorkers"; });

TEST(StartFailures, ACmykImageWithoutItsKPlaneIsRefused) {
    const auto image = SolidImage(6, 6, 3, kBlack);
    sim::SImageSpec imageSpec = RgbSpec(image);
    imageSpec.imageMode = host::plugInModeCMYKColor;
    for (int processors : {1, 2}) {
        SRunOptions options;
        options.processors = processors;
        const auto run = RunPlugin(imageSpec, image, options);
        EXPECT_EQ(run.result, host::filterBadParameters);
        EXPECT_EQ(run.output, image);
        EXPECT_TRUE(run.guardsIntact);
    }
}

}  // namespace
