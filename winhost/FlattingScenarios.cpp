// Whole filter runs through the Windows plug-in on small pictures whose
// result is known pixel for pixel, in the host's thread and on Boost
// threads, and a run the user cancels.
#include <string>
#include <vector>

#include "tests/support/TestImages.h"
#include "winhost/Check.h"
#include "winhost/ScenarioHost.h"

using namespace testing_support;
using winhost::CScenarioHost;
using winhost::CScopedEnv;

namespace {

std::vector<uint8_t> PixelOf(const sim::CHostImage& image, int x, int y) {
    std::vector<uint8_t> planes;
    for (int k = 0; k < image.Planes(); ++k) planes.push_back(image.At(x, y, k));
    return planes;
}

// 1 runs the pass in the host's thread, more on that many worker threads.
const char* const kProcessorCounts[] = {"1", "3"};

}  // namespace

WH_SCENARIO(Flatting, RgbBlackTakesTheNearestColour) {
    for (const char* processors : kProcessorCounts) {
        CScopedEnv count("VANDREL_PROCESSORS", processors);
        CScenarioHost host;
        const auto columns = ImageFromRows({"r###b", "r###b", "r###b", "r###b", "r###b"});
        host.sim.SetDocument(RgbSpec(columns), columns);
        WH_CHECK(host.sim.RunFilter(false).Succeeded());
        WH_CHECK_EQ(host.sim.Output(), ImageFromRows({"rrbbb", "rrbbb", "rrbbb", "rrbbb", "rrbbb"}));

        const auto rows = ImageFromRows({"rrrrr", "#####", "#####", "#####", "bbbbb"});
        host.sim.SetDocument(RgbSpec(rows), rows);
        WH_CHECK(host.sim.RunFilter(false).Succeeded());
        WH_CHECK_EQ(host.sim.Output(), ImageFromRows({"rrrrr", "rrrrr", "bbbbb", "bbbbb", "bbbbb"}));
        WH_CHECK(host.sim.guardsIntact);
    }
}

WH_SCENARIO(Flatting, DepthAndPaintWhiteFromTheDescriptorDecideTheFarPixels) {
    // A red dot in a black square: 12 rows straight up is within a depth of
    // 12, one column beside it (1² + 12² = 145) is not.
    for (const char* processors : kProcessorCounts) {
        CScopedEnv count("VANDREL_PROCESSORS", processors);
        CScenarioHost host;
        auto image = SolidImage(41, 41, 3, kBlack);
        Paint(image, 20, 20, kRed);
        host.sim.SetDocument(RgbSpec(image), image);

        host.GiveDescriptor(12, true);
        WH_CHECK(host.sim.RunFilter(false).Succeeded());
        WH_CHECK_EQ(PixelOf(host.sim.Output(), 20, 8), PixelOf(image, 20, 20));
        WH_CHECK_EQ(PixelOf(host.sim.Output(), 19, 8), std::vector<uint8_t>(3, 255));
        WH_CHECK_EQ(PixelOf(host.sim.Output(), 0, 40), std::vector<uint8_t>(3, 255));

        host.GiveDescriptor(12, false);
        WH_CHECK(host.sim.RunFilter(false).Succeeded());
        WH_CHECK_EQ(PixelOf(host.sim.Output(), 20, 8), PixelOf(image, 20, 20));
        WH_CHECK_EQ(PixelOf(host.sim.Output(), 19, 8), std::vector<uint8_t>(3, 0));
    }
}

WH_SCENARIO(Flatting, CmykTakesAllFourPlanesOfTheNearestInk) {
    for (const char* processors : kProcessorCounts) {
        CScopedEnv count("VANDREL_PROCESSORS", processors);
        CScenarioHost host;
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
        host.sim.SetDocument(imageSpec, image);
        WH_CHECK(host.sim.RunFilter(false).Succeeded());
        sim::CHostImage expected = image;
        for (int y = 0; y < 3; ++y) {
            expected.SetPixel(1, y, {10, 20, 30, 60});
            expected.SetPixel(2, y, {10, 20, 30, 60});
            expected.SetPixel(3, y, {40, 50, 60, 255});
            expected.SetPixel(4, y, {40, 50, 60, 255});
        }
        WH_CHECK_EQ(host.sim.Output(), expected);
        WH_CHECK(host.sim.guardsIntact);
    }
}

WH_SCENARIO(Flatting, ProgressAndACancelAfterTheFirstStrip) {
    CScopedEnv count("VANDREL_PROCESSORS", "1");
    CScenarioHost host;
    auto image = SolidImage(3, 100, 3, kBlack);
    for (int y = 0; y < 100; ++y) Paint(image, 0, y, kBlue);
    host.sim.SetDocument(RgbSpec(image), image);

    WH_CHECK(host.sim.RunFilter(false).Succeeded());
    WH_CHECK_EQ(host.sim.progress.size(), size_t(3));
    if (host.sim.progress.size() == 3) {
        WH_CHECK_EQ(host.sim.progress[0].done, 42);
        WH_CHECK_EQ(host.sim.progress[2].done, 100);
        WH_CHECK_EQ(host.sim.progress[2].total, 100);
    }
    WH_CHECK_EQ(host.sim.Output(), SolidImage(3, 100, 3, kBlue));

    // The user cancels at the first report: the strip done stays, the rest
    // is as supplied, and the run still ends without an error.
    host.sim.SetDocument(RgbSpec(image), image);
    host.sim.abortAfterReports = 1;
    WH_CHECK(host.sim.RunFilter(false).Succeeded());
    WH_CHECK_EQ(host.sim.progress.size(), size_t(1));
    sim::CHostImage expected = image;
    for (int y = 0; y < 42; ++y) Paint(expected, 1, y, kBlue), Paint(expected, 2, y, kBlue);
    WH_CHECK_EQ(host.sim.Output(), expected);
}

WH_SCENARIO(Flatting, ACancelWhileWorkersRunStopsThemAtWholeStrips) {
    // Heavy enough that the host's first poll finds both workers busy. Only
    // the plain search is that slow on it; the distance-assisted walk would
    // finish before anyone could cancel.
    CScopedEnv count("VANDREL_PROCESSORS", "2");
    CScopedEnv plainSearch("VANDREL_FASTPATH", "0");
    CScenarioHost host;
    const int height = 2 * 16 * 42, width = 300;
    auto image = SolidImage(width, height, 3, kBlack);
    for (int y = 0; y < height; ++y) Paint(image, 0, y, kRed);
    host.sim.SetDocument(RgbSpec(image), image);
    host.GiveDescriptor(256, true);
    host.sim.abortTest = [] { return true; };
    WH_CHECK(host.sim.RunFilter(false).Succeeded());
    WH_CHECK(!host.sim.progress.empty());
    if (host.sim.progress.empty()) return;
    const int32_t done = host.sim.progress.back().done;
    WH_CHECK(done < height);
    int flatted = 0;
    for (int band = 0; band < 2; ++band) {
        int rows = 0;
        while (rows < height / 2 && host.sim.Output().At(1, band * height / 2 + rows, 0) == 255) ++rows;
        WH_CHECK_EQ(rows % 42, 0);
        bool restUntouched = true;
        for (int y = rows; y < height / 2; ++y)
            restUntouched = restUntouched && host.sim.Output().At(1, band * height / 2 + y, 0) == 0;
        WH_CHECK(restUntouched);
        flatted += rows;
    }
    WH_CHECK_EQ(flatted, done);
}
