// Re-flatting through the C interface with the earlier flats: their
// colours come back in every layout a caller holds them in.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "capi/VandrelApi.h"

namespace {

constexpr int kWidth = 90, kHeight = 60;

// Three boxes side by side in black lines on white, RGB; `split` draws a
// wall down the middle of the first.
std::vector<uint8_t> Boxes(bool split) {
    std::vector<uint8_t> page(size_t(kWidth) * kHeight * 3, 255);
    auto black = [&](int x, int y) {
        for (int k = 0; k < 3; ++k) page[(size_t(y) * kWidth + size_t(x)) * 3 + size_t(k)] = 0;
    };
    for (int x = 0; x < kWidth; ++x)
        for (int t = 0; t < 2; ++t) black(x, 5 + t), black(x, 54 + t);
    for (int y = 5; y < 56; ++y)
        for (const int x : {2, 30, 58, 86})
            for (int t = 0; t < 2; ++t) black(x + t, y);
    if (split)
        for (int y = 5; y < 56; ++y)
            for (int t = 0; t < 2; ++t) black(12 + t, y);
    return page;
}

struct SRun {
    int32_t result = -1;
    std::vector<uint8_t> flats;  // RGB
    VandrelAutoFlatOutput output{};
};

SRun FlatLike(const std::vector<uint8_t>& line, const uint8_t* earlier, int32_t earlierLayout) {
    SRun run;
    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    settings.gap = 3;
    settings.minRegion = 0;
    run.flats.assign(line.size(), 0);
    run.output.pixels = run.flats.data();
    run.output.layout = VANDREL_RGB;
    run.result = vandrel_autoflat_like(line.data(), VANDREL_RGB, nullptr, 0, earlier, earlierLayout, kWidth,
                                       kHeight, &settings, &run.output, nullptr, nullptr);
    return run;
}

std::vector<uint8_t> At(const SRun& run, int x, int y) {
    const uint8_t* p = &run.flats[(size_t(y) * kWidth + size_t(x)) * 3];
    return {p[0], p[1], p[2]};
}

// Earlier flats as Krita holds them: B, G, R, A.
std::vector<uint8_t> AsBgra(const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> bgra;
    for (size_t i = 0; i + 3 <= rgb.size(); i += 3)
        bgra.insert(bgra.end(), {rgb[i + 2], rgb[i + 1], rgb[i], 255});
    return bgra;
}

}  // namespace

TEST(ApiAutoFlatLike, ARevisedPageKeepsTheEarlierColoursInEveryLayout) {
    EXPECT_EQ(vandrel_api_version(), 4);
    const SRun before = FlatLike(Boxes(false), nullptr, 0);
    ASSERT_EQ(before.result, VANDREL_DONE) << before.output.message;
    // A colourist's pale fill in the middle box, which an automatic colour
    // would never be.
    std::vector<uint8_t> earlier = before.flats;
    for (int y = 7; y < 54; ++y)
        for (int x = 32; x < 58; ++x)
            for (int k = 0; k < 3; ++k) earlier[(size_t(y) * kWidth + size_t(x)) * 3 + size_t(k)] = 240;
    const std::vector<uint8_t> bgra = AsBgra(earlier);
    const std::pair<const uint8_t*, int32_t> layouts[] = {{earlier.data(), VANDREL_RGB},
                                                          {bgra.data(), VANDREL_BGRA}};
    for (const auto& [pixels, layout] : layouts) {
        const SRun after = FlatLike(Boxes(true), pixels, layout);
        ASSERT_EQ(after.result, VANDREL_DONE) << after.output.message;
        EXPECT_EQ(At(after, 45, 30), (std::vector<uint8_t>{240, 240, 240})) << layout;
        EXPECT_EQ(At(after, 70, 30), At(before, 70, 30)) << layout;
        // The first box split: its larger part keeps the colour, the
        // smaller one takes a colour of its own.
        EXPECT_EQ(At(after, 25, 30), At(before, 10, 30)) << layout;
        EXPECT_NE(At(after, 7, 30), At(before, 10, 30)) << layout;
    }
    // Without earlier flats the same call is vandrel_autoflat's.
    const SRun plain = FlatLike(Boxes(true), nullptr, 0);
    ASSERT_EQ(plain.result, VANDREL_DONE);
    EXPECT_NE(At(plain, 45, 30), (std::vector<uint8_t>{240, 240, 240}));
}

TEST(ApiAutoFlatLike, EarlierFlatsOfAnotherModelOrLayoutAreRefused) {
    const std::vector<uint8_t> line = Boxes(false);
    const std::vector<uint8_t> cmyk(size_t(kWidth) * kHeight * 4, 0);
    const SRun other = FlatLike(line, cmyk.data(), VANDREL_CMYK);
    EXPECT_EQ(other.result, VANDREL_BAD_ARGUMENTS);
    EXPECT_NE(std::string(other.output.message), "");
    EXPECT_EQ(FlatLike(line, line.data(), 99).result, VANDREL_BAD_ARGUMENTS);
}
