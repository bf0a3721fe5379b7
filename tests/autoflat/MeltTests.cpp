#include <gtest/gtest.h>

#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "engine/PixelDistance.h"
#include "engine/SingleThreadedPass.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

class CQuietHost : public CPassHost {
public:
    void ReportProgress(int32_t) override {}
    bool TestAbort() override { return false; }
    void AddRowsDone(int32_t) override {}
    int32_t RowsDone() const override { return 0; }
};

// Panels, rings of several widths with small gaps, hatching and a diagonal:
// a bit of everything but spot blacks.
CTestPage Comic() {
    CTestPage page(230, 170);
    page.Box(8, 8, 110, 160, 3);
    page.Box(118, 8, 222, 80, 5);
    page.Box(118, 88, 222, 160, 2);
    for (int y = 0; y < 170; ++y)
        for (int x = 0; x < 230; ++x) {
            const int dx = x - 60, dy = y - 60;
            const int d2 = dx * dx + dy * dy;
            if (d2 > 28 * 28 && d2 < 33 * 33 && !(dy < -20 && dx > -3 && dx < 3))
                page.Fill(x, y, x + 1, y + 1, 0);
            if (d2 >= 33 * 33 && d2 < 34 * 34) page.Fill(x, y, x + 1, y + 1, 150);  // anti-aliased rim
        }
    for (int k = 0; k < 8; ++k) page.Fill(130 + 6 * k, 100, 132 + 6 * k, 140, 0);
    for (int i = 0; i < 60; ++i) page.Fill(125 + i, 15 + i / 2, 127 + i, 17 + i / 2, 0);
    return page;
}

}  // namespace

TEST(AutoFlatMelt, EqualsTheEnginePassOnTheFilledPage) {
    const CTestPage page = Comic();
    SAutoFlatSettings settings;
    settings.gap = 6;
    settings.minRegion = 0;
    const SAutoFlatResult result = Flat(page, settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    ASSERT_GT(result.regions.size(), 5u);

    // The page filled by hand, perfectly: every region pixel in its region's
    // colour, the lines black.
    std::vector<uint8_t> filled(size_t(page.width) * page.height * 3);
    for (size_t i = 0; i < result.labels.size(); ++i) {
        const bool line = page.samples[i] < 128;
        const SColour& colour = result.regions[result.labels[i]].colour;
        for (int c = 0; c < 3; ++c) filled[i * 3 + c] = line ? 0 : colour.v[c];
    }
    std::vector<uint8_t> melted = filled;
    SFlatImage image;
    image.inData = filled.data();
    image.outData = melted.data();
    image.inRowBytes = image.outRowBytes = page.width * 3;
    image.inColumnBytes = image.outColumnBytes = 3;
    image.inPlaneBytes = image.outPlaneBytes = 1;
    image.width = uint16_t(page.width);
    image.height = uint16_t(page.height);
    image.planeCount = 3;
    CPixelDistance search;
    SPassSettings pass;
    pass.maxDepth = uint16_t(result.meltDepth);
    pass.method = EFlatMethod::Search;
    search.maxRings = pass.maxDepth;
    CQuietHost host;
    RunSingleThreadedPass(image, search, pass, host);
    EXPECT_EQ(result.flats, melted);
}

TEST(AutoFlatMelt, NoPixelIsLeftBlack) {
    const SAutoFlatResult result = Flat(Comic(), {});
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    for (size_t i = 0; i < result.labels.size(); ++i) {
        ASSERT_LT(result.labels[i], result.regions.size());
        ASSERT_GT(int(result.flats[i * 3]) + result.flats[i * 3 + 1] + result.flats[i * 3 + 2], 3 * 8);
    }
}

TEST(AutoFlatMelt, KeptLinesShowThroughTheFlats) {
    SAutoFlatSettings settings;
    settings.keepLines = true;
    const CTestPage page = Comic();
    const SAutoFlatResult result = Flat(page, settings);
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const size_t onLine = size_t(8) * page.width + 50;  // the top of the first panel
    EXPECT_EQ(result.flats[onLine * 3], 0);
    EXPECT_NE(
        result.regions[result.labels[onLine]].colour.v[0] | result.regions[result.labels[onLine]].colour.v[1],
        0);
}

TEST(AutoFlatMelt, SameBytesForEveryWorkerCount) {
    // Tall enough that the engine's strips fall to several workers.
    CTestPage page(180, 400);
    for (int k = 0; k < 5; ++k) {
        const CTestPage part = Comic();
        for (int y = 0; y < 80; ++y)
            std::copy(part.samples.begin() + size_t(y + 8) * part.width,
                      part.samples.begin() + size_t(y + 8) * part.width + 180,
                      page.samples.begin() + size_t(k * 80 + y) * 180);
    }
    SAutoFlatSettings settings;
    settings.workers = 1;
    settings.pixelMarks = true;
    const SAutoFlatResult one = Flat(page, settings);
    ASSERT_EQ(one.status, EAutoFlatStatus::Ok);
    auto sizes = [](const SAutoFlatResult& result) {
        std::vector<uint64_t> pixels;
        for (const SRegion& region : result.regions) pixels.push_back(region.pixels);
        return pixels;
    };
    for (const int workers : {2, 3, 7}) {
        settings.workers = workers;
        const SAutoFlatResult many = Flat(page, settings);
        ASSERT_EQ(many.status, EAutoFlatStatus::Ok);
        EXPECT_EQ(many.flats, one.flats) << workers << " workers";
        EXPECT_EQ(many.labels, one.labels) << workers << " workers";
        EXPECT_EQ(many.marks, one.marks) << workers << " workers";
        EXPECT_EQ(sizes(many), sizes(one)) << workers << " workers";
    }
}
