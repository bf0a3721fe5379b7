// The C interface's Auto Flats against the library called directly: the
// same flats in every layout a caller may hand over, and its refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "autoflat/AutoFlats.h"
#include "capi/VandrelApi.h"

namespace {

constexpr int kWidth = 120, kHeight = 90;

// White paper, three closed boxes in black lines (one with a gap of two
// pixels), a red hint dot in the middle one; 3 or 4 samples a pixel, the
// fourth alpha varied on the paper.
std::vector<uint8_t> LineArt(int planes) {
    std::vector<uint8_t> page(size_t(kWidth) * kHeight * size_t(planes), 255);
    auto paint = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &page[(size_t(y) * kWidth + size_t(x)) * size_t(planes)];
        p[0] = r, p[1] = g, p[2] = b;
        if (planes == 4) p[3] = 255;
    };
    if (planes == 4)
        for (size_t i = 3; i < page.size(); i += 4) page[i] = uint8_t(128 + i % 128);
    for (int box = 0; box < 3; ++box) {
        const int x0 = 5 + box * 38, x1 = x0 + 32;
        for (int x = x0; x <= x1; ++x)
            for (int t = 0; t < 2; ++t) paint(x, 10 + t, 0, 0, 0), paint(x, 70 + t, 0, 0, 0);
        for (int y = 10; y <= 71; ++y)
            for (int t = 0; t < 2; ++t)
                if (box != 2 || y < 30 || y > 31) paint(x0 + t, y, 0, 0, 0), paint(x1 - t, y, 0, 0, 0);
    }
    for (int y = 38; y < 42; ++y)
        for (int x = 58; x < 62; ++x) paint(x, y, 230, 20, 20);
    return page;
}

std::vector<uint8_t> Swapped(std::vector<uint8_t> rgba) {
    for (size_t i = 0; i + 4 <= rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
    return rgba;
}

struct SRun {
    int32_t result = -1;
    std::vector<uint8_t> flats;
    std::vector<uint32_t> regions;
    VandrelAutoFlatOutput output{};
};

SRun AutoFlatRun(const std::vector<uint8_t>& line, int32_t layout, int32_t outLayout,
                 const uint8_t* hints = nullptr, int32_t hintsLayout = 0, VandrelProgress progress = nullptr,
                 void* context = nullptr) {
    SRun run;
    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    settings.workers = 2;
    run.flats.assign(size_t(kWidth) * kHeight * size_t(vandrel_layout_channels(outLayout)), 0);
    run.regions.assign(size_t(kWidth) * kHeight, 0);
    run.output.pixels = run.flats.data();
    run.output.layout = outLayout;
    run.output.regions = run.regions.data();
    run.result = vandrel_autoflat(line.data(), layout, hints, hintsLayout, kWidth, kHeight, &settings,
                                  &run.output, progress, context);
    return run;
}

autoflat::SAutoFlatResult Direct(const std::vector<uint8_t>& line, autoflat::EPageKind kind,
                                 uint8_t darkness = 128) {
    autoflat::SPageView view;
    view.pixels = line.data();
    view.width = kWidth;
    view.height = kHeight;
    view.kind = kind;
    autoflat::SAutoFlatSettings settings;
    settings.workers = 1;
    settings.darkness = darkness;
    return autoflat::AutoFlat(view, nullptr, settings);
}

TEST(ApiAutoFlat, RgbIsTheLibrarysResult) {
    const auto line = LineArt(3);
    const auto run = AutoFlatRun(line, VANDREL_RGB, VANDREL_RGB);
    ASSERT_EQ(run.result, VANDREL_DONE) << run.output.message;
    const auto direct = Direct(line, autoflat::EPageKind::Rgb);
    ASSERT_EQ(direct.status, autoflat::EAutoFlatStatus::Ok);
    EXPECT_EQ(run.flats, direct.flats);
    EXPECT_EQ(run.regions, direct.labels);
    EXPECT_EQ(run.output.regionCount, int32_t(direct.regions.size()));
    EXPECT_EQ(run.output.gap, direct.gap);
}

TEST(ApiAutoFlat, BgraInAndOutIsRgbaReordered) {
    const auto rgba = LineArt(4);
    const auto fromRgba = AutoFlatRun(rgba, VANDREL_RGBA, VANDREL_RGBA);
    const auto fromBgra = AutoFlatRun(Swapped(rgba), VANDREL_BGRA, VANDREL_BGRA);
    ASSERT_EQ(fromRgba.result, VANDREL_DONE);
    ASSERT_EQ(fromBgra.result, VANDREL_DONE);
    EXPECT_EQ(fromBgra.flats, Swapped(fromRgba.flats));
    EXPECT_EQ(fromRgba.flats, Direct(rgba, autoflat::EPageKind::Rgba).flats);
}

TEST(ApiAutoFlat, AlphaIsAddedOrDroppedAsTheCallerAsks) {
    const auto rgb = LineArt(3);
    const auto plain = AutoFlatRun(rgb, VANDREL_RGB, VANDREL_RGB);
    const auto withAlpha = AutoFlatRun(rgb, VANDREL_RGB, VANDREL_BGRA);
    ASSERT_EQ(withAlpha.result, VANDREL_DONE);
    for (size_t i = 0; i < size_t(kWidth) * kHeight; ++i) {
        ASSERT_EQ(withAlpha.flats[4 * i + 2], plain.flats[3 * i]);
        ASSERT_EQ(withAlpha.flats[4 * i], plain.flats[3 * i + 2]);
        ASSERT_EQ(withAlpha.flats[4 * i + 3], 255);
    }
}

TEST(ApiAutoFlat, HintsFromASecondPageColourTheirRegion) {
    const auto line = LineArt(3);
    auto hints = std::vector<uint8_t>(line.size(), 255);
    const size_t dot = (size_t(40) * kWidth + 20) * 3;  // inside the first box
    for (int k = 0; k < 3; ++k) hints[dot + size_t(k)] = k == 2 ? 200 : 10;
    const auto run = AutoFlatRun(line, VANDREL_RGB, VANDREL_RGB, hints.data(), VANDREL_RGB);
    ASSERT_EQ(run.result, VANDREL_DONE) << run.output.message;
    EXPECT_EQ(run.flats[dot + 2], 200);
    EXPECT_EQ(run.flats[dot], 10);
    EXPECT_NE(run.flats, AutoFlatRun(line, VANDREL_RGB, VANDREL_RGB).flats);
}

TEST(ApiAutoFlat, CmykLineArtGivesCmykFlats) {
    const auto rgb = LineArt(3);
    std::vector<uint8_t> cmyk;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        const bool black = rgb[i] == 0;
        cmyk.insert(cmyk.end(), {0, uint8_t(rgb[i + 1] < 100 ? 200 : 0), 0, uint8_t(black ? 255 : 0)});
    }
    const auto run = AutoFlatRun(cmyk, VANDREL_CMYK, VANDREL_CMYK);
    ASSERT_EQ(run.result, VANDREL_DONE) << run.output.message;
    EXPECT_EQ(run.flats, Direct(cmyk, autoflat::EPageKind::Cmyk).flats);
    EXPECT_EQ(AutoFlatRun(cmyk, VANDREL_CMYK, VANDREL_RGB).result, VANDREL_UNSUPPORTED_LAYOUT);
}

// A grey stroke across the page (darkness 105): paper at the default
// threshold, a line between two regions at a lower one.
TEST(ApiAutoFlat, TheThresholdReachesTheLibrary) {
    std::vector<uint8_t> line(size_t(kWidth) * kHeight * 3, 255);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 60; x < 63; ++x)
            for (int k = 0; k < 3; ++k) line[(size_t(y) * kWidth + size_t(x)) * 3 + size_t(k)] = 150;
    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    EXPECT_EQ(settings.threshold, 128);
    std::vector<uint8_t> flats(line.size());
    VandrelAutoFlatOutput output{};
    output.pixels = flats.data();
    output.layout = VANDREL_RGB;
    auto regions = [&](int32_t threshold) {
        settings.threshold = threshold;
        const int32_t result = vandrel_autoflat(line.data(), VANDREL_RGB, nullptr, 0, kWidth, kHeight,
                                                &settings, &output, nullptr, nullptr);
        return result == VANDREL_DONE ? output.regionCount : -result;
    };
    // At the default the stroke is paper: a page without lines, nothing to fill.
    EXPECT_EQ(regions(128), -VANDREL_NO_REGIONS);
    EXPECT_EQ(regions(100), 2);
    EXPECT_EQ(flats, Direct(line, autoflat::EPageKind::Rgb, 100).flats);
    for (int32_t refused : {0, 256}) {
        settings.threshold = refused;
        EXPECT_EQ(vandrel_autoflat(line.data(), VANDREL_RGB, nullptr, 0, kWidth, kHeight, &settings, &output,
                                   nullptr, nullptr),
                  VANDREL_BAD_ARGUMENTS);
    }
}

int32_t StopAtOnce(void*, int32_t, int32_t) { return 1; }

TEST(ApiAutoFlat, AStopAnswerCancels) {
    const auto run = AutoFlatRun(LineArt(3), VANDREL_RGB, VANDREL_RGB, nullptr, 0, StopAtOnce);
    EXPECT_EQ(run.result, VANDREL_CANCELLED);
}

TEST(ApiAutoFlat, RefusalsComeWithWords) {
    const auto line = LineArt(3);
    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    std::vector<uint8_t> flats(line.size());
    VandrelAutoFlatOutput output{};
    output.pixels = flats.data();
    output.layout = VANDREL_RGB;
    EXPECT_EQ(vandrel_autoflat(line.data(), VANDREL_RGB, nullptr, 0, kWidth, kHeight, &settings, nullptr,
                               nullptr, nullptr),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(vandrel_autoflat(nullptr, VANDREL_RGB, nullptr, 0, kWidth, kHeight, &settings, &output, nullptr,
                               nullptr),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_GT(std::strlen(output.message), 0u);
    EXPECT_EQ(
        vandrel_autoflat(line.data(), 42, nullptr, 0, kWidth, kHeight, &settings, &output, nullptr, nullptr),
        VANDREL_BAD_ARGUMENTS);
    EXPECT_EQ(vandrel_autoflat(line.data(), VANDREL_RGB, nullptr, 0, 0, kHeight, &settings, &output, nullptr,
                               nullptr),
              VANDREL_BAD_ARGUMENTS);
    // CMYK hints for RGB line art: another colour model.
    const std::vector<uint8_t> cmykHints(size_t(kWidth) * kHeight * 4, 0);
    output.message[0] = '\0';
    EXPECT_EQ(vandrel_autoflat(line.data(), VANDREL_RGB, cmykHints.data(), VANDREL_CMYK, kWidth, kHeight,
                               &settings, &output, nullptr, nullptr),
              VANDREL_BAD_ARGUMENTS);
    EXPECT_GT(std::strlen(output.message), 0u);
    settings.paletteCount = 3;  // and no palette
    EXPECT_EQ(vandrel_autoflat(line.data(), VANDREL_RGB, nullptr, 0, kWidth, kHeight, &settings, &output,
                               nullptr, nullptr),
              VANDREL_BAD_ARGUMENTS);
}

}  // namespace
