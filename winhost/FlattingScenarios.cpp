// Whole filter runs through the Windows plug-in on small pictures whose
// result is known pixel for pixel, and runs the user cancels. The plug-in
// takes no switches on Windows: it runs in the host's thread or on Boost
// threads as the machine's processor count decides, and the scenarios that
// depend on which expect what that count gives.
#include <string>
#include <vector>

#include "host/ProcessorCount.h"
#include "tests/support/TestImages.h"
#include "winhost/Check.h"
#include "winhost/ScenarioHost.h"

using namespace testing_support;
using winhost::CScenarioHost;

namespace {

std::vector<uint8_t> PixelOf(const sim::CHostImage& image, int x, int y) {
    std::vector<uint8_t> planes;
    for (int k = 0; k < image.Planes(); ++k) planes.push_back(image.At(x, y, k));
    return planes;
}

// What the plug-in will count on this machine: 1 runs the pass in the
// host's thread, more on that many worker threads.
int Processors() { return ProcessorCount(); }

// The first page of the cancel scenario: deep black with one red column,
// about 0.3 s of work for the distance-assisted walk (the plug-in's only
// one on Windows) on a current processor.
constexpr int kCancelPageRows = 64 * 42;
constexpr int kCancelPageColumns = 3000;

}  // namespace

WH_SCENARIO(Flatting, RgbBlackTakesTheNearestColour) {
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

WH_SCENARIO(Flatting, DepthAndPaintWhiteFromTheDescriptorDecideTheFarPixels) {
    // A red dot in a black square: 12 rows straight up is within a depth of
    // 12, one column beside it (1² + 12² = 145) is not.
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

WH_SCENARIO(Flatting, CmykTakesAllFourPlanesOfTheNearestInk) {
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

WH_SCENARIO(Flatting, ProgressAndACancelAfterTheFirstStrip) {
    CScenarioHost host;
    auto image = SolidImage(3, 100, 3, kBlack);
    for (int y = 0; y < 100; ++y) Paint(image, 0, y, kBlue);
    host.sim.SetDocument(RgbSpec(image), image);

    WH_CHECK(host.sim.RunFilter(false).Succeeded());
    WH_CHECK_EQ(host.sim.Output(), SolidImage(3, 100, 3, kBlue));
    WH_CHECK(!host.sim.progress.empty());
    if (!host.sim.progress.empty()) {
        WH_CHECK_EQ(host.sim.progress.back().done, 100);
        WH_CHECK_EQ(host.sim.progress.back().total, 100);
    }
    // A report after every strip, and a cancel that takes effect there, are
    // the host's thread's: only a one-processor machine runs the pass there.
    if (Processors() != 1) return;
    WH_CHECK_EQ(host.sim.progress.size(), size_t(3));
    if (host.sim.progress.size() == 3) WH_CHECK_EQ(host.sim.progress[0].done, 42);

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
    const int workers = Processors();
    if (workers == 1) return;  // no workers on this machine
    // The host cancels at its first poll, 100 ms after the workers start.
    // Whether that finds them busy depends on the machine: a page they
    // finish before it is doubled until one is cancelled.
    for (int height = kCancelPageRows; height <= 4 * kCancelPageRows; height *= 2) {
        CScenarioHost host;
        auto image = SolidImage(kCancelPageColumns, height, 3, kBlack);
        for (int y = 0; y < height; ++y) Paint(image, 0, y, kRed);
        host.sim.SetDocument(RgbSpec(image), image);
        host.GiveDescriptor(256, true);
        host.sim.abortTest = [] { return true; };
        WH_CHECK(host.sim.RunFilter(false).Succeeded());
        WH_CHECK(!host.sim.progress.empty());
        if (host.sim.progress.empty()) return;
        const int32_t done = host.sim.progress.back().done;
        if (done == height) continue;

        // Each band is flatted from its first row in whole strips (its last
        // strip may be shorter), and untouched below them.
        const int q = height / workers;
        int flatted = 0;
        for (int band = 0; band < workers; ++band) {
            const int first = band * q, rowsInBand = band == workers - 1 ? height - first : q;
            int rows = 0;
            while (rows < rowsInBand && host.sim.Output().At(1, first + rows, 0) == 255) ++rows;
            WH_CHECK(rows % 42 == 0 || rows == rowsInBand);
            bool untouched = true;
            for (int y = rows; y < rowsInBand; ++y)
                untouched = untouched && host.sim.Output().At(1, first + y, 0) == 0;
            WH_CHECK(untouched);
            flatted += rows;
        }
        WH_CHECK_EQ(flatted, done);
        return;
    }
    WH_CHECK(!"the workers finished every page before the host's first poll");
}
