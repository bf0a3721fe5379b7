#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

TEST(AutoFlatBadInput, EmptyPagesAreRefused) {
    SPageView view;
    EXPECT_EQ(AutoFlat(view, nullptr, {}).status, EAutoFlatStatus::EmptyPage);
    const CTestPage page(4, 4);
    view = page.View();
    view.width = 0;
    const SAutoFlatResult result = AutoFlat(view, nullptr, {});
    EXPECT_EQ(result.status, EAutoFlatStatus::EmptyPage);
    EXPECT_FALSE(result.message.empty());
    EXPECT_TRUE(result.flats.empty());
}

TEST(AutoFlatBadInput, HugePagesAreRefusedBeforeAnyPixelIsRead) {
    const uint8_t pixel = 255;
    SPageView view;
    view.pixels = &pixel;
    view.width = 70000;
    view.height = 2;
    EXPECT_EQ(AutoFlat(view, nullptr, {}).status, EAutoFlatStatus::PageTooLarge);
}

TEST(AutoFlatBadInput, AllWhiteIsOneRegion) {
    const SAutoFlatResult result = Flat(CTestPage(30, 20), {});
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(result.regions.size(), 1u);
    EXPECT_EQ(result.linePixels, 0u);
}

TEST(AutoFlatBadInput, AllBlackIsOneSpotOrNothing) {
    CTestPage page(60, 60);
    page.Fill(0, 0, 60, 60, 0);
    const SAutoFlatResult spot = Flat(page, {});
    ASSERT_EQ(spot.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(spot.regions.size(), 1u);
    EXPECT_TRUE(spot.regions[0].spotBlack);

    SAutoFlatSettings settings;
    settings.spotBlacks = ESpotBlacks::Lines;
    const SAutoFlatResult lines = Flat(page, settings);
    EXPECT_EQ(lines.status, EAutoFlatStatus::NoRegions);
    EXPECT_TRUE(lines.flats.empty());
}

TEST(AutoFlatBadInput, OnePixelPages) {
    CTestPage white(1, 1);
    EXPECT_EQ(Flat(white, {}).status, EAutoFlatStatus::Ok);
    CTestPage black(1, 1);
    black.Fill(0, 0, 1, 1, 0);
    EXPECT_EQ(Flat(black, {}).status, EAutoFlatStatus::NoRegions);
}

TEST(AutoFlatBadInput, HintsOfAnotherSizeOrModel) {
    const CTestPage page(30, 20);
    const CTestPage smaller(30, 19, EPageKind::Rgb);
    EXPECT_EQ(Flat(page, {}, &smaller).status, EAutoFlatStatus::HintsMismatch);
    const CTestPage inks(30, 20, EPageKind::Cmyk);
    EXPECT_EQ(Flat(page, {}, &inks).status, EAutoFlatStatus::HintsMismatch);
}

TEST(AutoFlatBadInput, SettingsOutOfRange) {
    const CTestPage page(30, 20);
    SAutoFlatSettings settings;
    settings.gap = -1;
    EXPECT_EQ(Flat(page, settings).status, EAutoFlatStatus::BadSettings);
    settings = {};
    settings.darkness = 0;
    EXPECT_EQ(Flat(page, settings).status, EAutoFlatStatus::BadSettings);
    SPageView view = page.View();
    view.rowBytes = 10;
    EXPECT_EQ(AutoFlat(view, nullptr, {}).status, EAutoFlatStatus::BadSettings);
}

TEST(AutoFlatBadInput, ACancelStopsTheRun) {
    CTestPage page(100, 100);
    page.Box(10, 10, 90, 90, 3);
    int calls = 0;
    const SAutoFlatResult result =
        AutoFlat(page.View(), nullptr, {}, [&](double, const char*) { return ++calls < 3; });
    EXPECT_EQ(result.status, EAutoFlatStatus::Cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(result.flats.empty());
}

TEST(AutoFlatBadInput, TheMemoryEstimateCoversTheResult) {
    CTestPage page(64, 48, EPageKind::GrayAlpha);
    page.Box(4, 4, 60, 44, 2);
    const SAutoFlatResult result = Flat(page, {});
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(result.flatsKind, EPageKind::Rgba);
    const uint64_t held = result.flats.size() + result.labels.size() * sizeof(uint32_t);
    EXPECT_GE(PeakBytes(64, 48, EPageKind::GrayAlpha, false), held + result.labels.size() * sizeof(uint32_t));
    EXPECT_GT(PeakBytes(7000, 10000, EPageKind::Gray, false), PeakBytes(4960, 7016, EPageKind::Gray, false));
}

// A region every other pixel needs tables many times the page's size: the
// page is refused, saying how many regions it has and how many it may have.
TEST(AutoFlatBadInput, APageOfTooManyRegionsIsRefusedWithTheCount) {
    const int side = 800;
    CTestPage page(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = (y + 1) % 2; x < side; x += 2) page.Set(x, y, {0});
    const SAutoFlatResult result = Flat(page, {});
    const uint64_t count = uint64_t(side) * side / 2;
    ASSERT_GT(count, RegionLimit(side, side));
    EXPECT_EQ(result.status, EAutoFlatStatus::TooManyRegions);
    EXPECT_NE(result.message.find(std::to_string(count)), std::string::npos) << result.message;
    EXPECT_NE(result.message.find(std::to_string(RegionLimit(side, side))), std::string::npos)
        << result.message;
    // What the limit allows, the estimate pays for.
    EXPECT_GE(PeakBytes(side, side, EPageKind::Gray, false), RegionLimit(side, side) * 256);
}

// Only a lack of memory is reported as one; a caller's own failure is not.
TEST(AutoFlatBadInput, FailuresKeepTheirMeaning) {
    CTestPage page(60, 60);
    page.Box(10, 10, 50, 50, 3);
    auto failing = [&](auto thrown) {
        return AutoFlat(page.View(), nullptr, {}, [&](double fraction, const char*) {
            if (fraction > 0.3) throw thrown;
            return true;
        });
    };
    const SAutoFlatResult broken = failing(std::runtime_error("the display went away"));
    EXPECT_EQ(broken.status, EAutoFlatStatus::Failed);
    EXPECT_NE(broken.message.find("the display went away"), std::string::npos);
    EXPECT_EQ(failing(std::bad_alloc()).status, EAutoFlatStatus::OutOfMemory);
}
