// What the C interface's Auto Flats refuses that the command-line tool and
// the page refuse too: palette colours the melt would take for line art,
// settings outside their documented values, and pages with nothing to fill.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "capi/VandrelApi.h"

namespace {

constexpr int kWidth = 40, kHeight = 30;

// A black frame on white paper, 3 or 4 samples a pixel (alpha 255).
std::vector<uint8_t> Frame(int planes, uint8_t paper = 255) {
    std::vector<uint8_t> page(size_t(kWidth) * kHeight * size_t(planes), paper);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &page[(size_t(y) * kWidth + size_t(x)) * size_t(planes)];
            if (x < 2 || y < 2 || x >= kWidth - 2 || y >= kHeight - 2 || x == kWidth / 2)
                p[0] = p[1] = p[2] = 0;
            if (planes == 4) p[3] = 255;
        }
    return page;
}

struct SCall {
    int32_t result = -1;
    std::string message;
};

SCall AutoFlat(const std::vector<uint8_t>& page, int32_t layout, const VandrelAutoFlatSettings& settings) {
    std::vector<uint8_t> flats(size_t(kWidth) * kHeight * size_t(vandrel_layout_channels(layout)), 0);
    VandrelAutoFlatOutput output{};
    output.pixels = flats.data();
    output.layout = layout;
    const int32_t result = vandrel_autoflat(page.data(), layout, nullptr, 0, kWidth, kHeight, &settings,
                                            &output, nullptr, nullptr);
    return {result, output.message};
}

VandrelAutoFlatSettings Defaults() {
    VandrelAutoFlatSettings settings;
    vandrel_autoflat_defaults(&settings);
    settings.workers = 1;
    return settings;
}

}  // namespace

// The flat filter's own rule for black (every RGB sample at most 8; K ink
// from 196 up, which the host stores as below 60) decides, entry by entry.
TEST(ApiAutoFlatRefusals, PaletteColoursTheMeltTakesForLineArtAreRefusedByNumber) {
    VandrelAutoFlatSettings settings = Defaults();
    const auto rgb = Frame(3);
    struct SPalette {
        std::vector<uint8_t> colours;
        bool black;
    };
    const SPalette rgbCases[] = {
        {{200, 30, 30, 0, 8, 8, 8, 0}, true},    // the second at the limit
        {{0, 0, 0, 0, 200, 30, 30, 0}, true},    // the first
        {{200, 30, 30, 0, 9, 8, 8, 0}, false},   // one sample above it
        {{200, 30, 30, 0, 8, 8, 8, 255}, true},  // the unused byte counts for nothing
    };
    for (const SPalette& c : rgbCases) {
        settings.palette = c.colours.data();
        settings.paletteCount = int32_t(c.colours.size() / 4);
        const SCall call = AutoFlat(rgb, VANDREL_RGB, settings);
        EXPECT_EQ(call.result, c.black ? VANDREL_BAD_ARGUMENTS : VANDREL_DONE) << call.message;
        if (c.black) {
            EXPECT_NE(call.message.find(c.colours[0] == 0 ? "colour 1" : "colour 2"), std::string::npos)
                << call.message;
        }
    }

    // CMYK line art: the palette is ink, and only K decides.
    std::vector<uint8_t> cmyk(size_t(kWidth) * kHeight * 4, 0);
    for (size_t i = 0; i < size_t(kWidth) * kHeight; ++i)
        if (rgb[i * 3] == 0) cmyk[i * 4 + 3] = 255;
    const SPalette cmykCases[] = {
        {{0, 200, 200, 196}, true},
        {{0, 200, 200, 255}, true},
        {{0, 200, 200, 195}, false},
        {{255, 255, 255, 0}, false},  // all of C, M and Y without K is not the filter's black
    };
    for (const SPalette& c : cmykCases) {
        settings.palette = c.colours.data();
        settings.paletteCount = 1;
        const SCall call = AutoFlat(cmyk, VANDREL_CMYK, settings);
        EXPECT_EQ(call.result, c.black ? VANDREL_BAD_ARGUMENTS : VANDREL_DONE)
            << "K " << int(c.colours[3]) << ": " << call.message;
    }
}

// Only the documented automatic values are automatic.
TEST(ApiAutoFlatRefusals, NegativeGapsWorkersAndResolutionsAreNotAutomatic) {
    const auto page = Frame(3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct SCase {
        int32_t gap, workers;
        double dpi;
        int32_t result;
    };
    for (const SCase c :
         {SCase{0, 0, 0, VANDREL_DONE}, SCase{-5, 0, 0, VANDREL_BAD_ARGUMENTS},
          SCase{-1, 0, 0, VANDREL_BAD_ARGUMENTS}, SCase{INT32_MIN, 0, 0, VANDREL_BAD_ARGUMENTS},
          SCase{0, -1, 0, VANDREL_BAD_ARGUMENTS}, SCase{0, 0, -300, VANDREL_BAD_ARGUMENTS},
          SCase{0, 0, nan, VANDREL_BAD_ARGUMENTS}}) {
        VandrelAutoFlatSettings settings = Defaults();
        settings.gap = c.gap;
        settings.workers = c.workers;
        settings.dpi = c.dpi;
        const SCall call = AutoFlat(page, VANDREL_RGB, settings);
        EXPECT_EQ(call.result, c.result) << "gap " << c.gap << ", workers " << c.workers << ", dpi " << c.dpi;
        if (c.result != VANDREL_DONE) {
            EXPECT_FALSE(call.message.empty());
        }
    }
}

// A page without line art would come back as one flat colour, and one all
// line art as one black region: neither has anything to fill, and both get
// the one answer that says so, whatever the spot blacks setting.
TEST(ApiAutoFlatRefusals, PagesWithNothingToFillAreRefusedAlike) {
    const std::vector<uint8_t> transparent(size_t(kWidth) * kHeight * 4, 0);
    const std::vector<uint8_t> white(size_t(kWidth) * kHeight * 3, 255);
    const std::vector<uint8_t> black(size_t(kWidth) * kHeight * 3, 0);
    for (const int32_t spotBlacks : {0, 1}) {
        VandrelAutoFlatSettings settings = Defaults();
        settings.spotBlacks = spotBlacks;
        struct SPage {
            const std::vector<uint8_t>* pixels;
            int32_t layout;
            const char* what;
        };
        for (const SPage& p :
             {SPage{&transparent, VANDREL_RGBA, "an empty layer"}, SPage{&white, VANDREL_RGB, "white paper"},
              SPage{&black, VANDREL_RGB, "black ink"}}) {
            const SCall call = AutoFlat(*p.pixels, p.layout, settings);
            EXPECT_EQ(call.result, VANDREL_NO_REGIONS) << p.what << ", spot blacks " << spotBlacks;
            EXPECT_FALSE(call.message.empty()) << p.what;
        }
        EXPECT_EQ(AutoFlat(Frame(3), VANDREL_RGB, settings).result, VANDREL_DONE);
    }
    EXPECT_STRNE(vandrel_result_text(VANDREL_NO_REGIONS), vandrel_result_text(-1));
}
