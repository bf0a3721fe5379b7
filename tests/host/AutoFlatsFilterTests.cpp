// Vandrel Auto Flats driven through its own module as a host drives it: the
// pixels are the library's for the same settings (the command-line tool
// calls the same library), whatever the layout the host delivers in; its
// parameters travel in its own keys, handle and preferences file; a cancel,
// or a page it cannot flat, leaves the image as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "autoflat/AutoFlats.h"
#include "params/AutoFlatsStores.h"
#include "resources/AutoFlatsCodes.h"
#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"

namespace {

using testing_support::ImageFromRows;

// Two boxes, one with a gap of two pixels in its wall, a hint dot in one.
sim::CHostImage LineArt(int planes) {
    sim::CHostImage page = ImageFromRows(
        {
            "................................",
            "................................",
            "................................",
            "...##########..#########........",
            "...#........#..#.......#........",
            "...#...r....#..#.......#........",
            "...#........#..#................",
            "...#........#..#................",
            "...#........#..#.......#........",
            "...##########..#########........",
            "................................",
            "................................",
            "................................",
            "................................",
        },
        planes);
    if (planes == 4)
        for (int y = 0; y < page.Height(); ++y)
            for (int x = 0; x < page.Width(); ++x) page.At(x, y, 3) = x < 28 ? 255 : 0;
    return page;
}

sim::SImageSpec LayerSpec(const sim::CHostImage& page) {
    sim::SImageSpec spec = testing_support::RgbSpec(page);
    if (page.Planes() == 4) {
        spec.filterCase = host::filterCaseEditableTransparencyNoSelection;
        spec.planes = 4;
        spec.outLayerPlanes = 3;
    }
    return spec;
}

// What the library makes of `page` (host samples: CMYK as 255 for no ink).
sim::CHostImage LibraryFlats(const sim::CHostImage& page, bool cmyk, int gap) {
    const int channels = page.Planes();
    std::vector<uint8_t> pixels(page.Bytes().begin(), page.Bytes().end());
    const int colour = cmyk ? 4 : 3;
    if (cmyk)
        for (size_t i = 0; i < pixels.size(); ++i)
            if (int(i % size_t(channels)) < colour) pixels[i] = uint8_t(255 - pixels[i]);
    autoflat::SPageView view;
    view.pixels = pixels.data();
    view.width = page.Width();
    view.height = page.Height();
    view.kind = cmyk ? (channels == 5 ? autoflat::EPageKind::CmykAlpha : autoflat::EPageKind::Cmyk)
                     : (channels == 4 ? autoflat::EPageKind::Rgba : autoflat::EPageKind::Rgb);
    autoflat::SAutoFlatSettings settings;
    settings.gap = gap;
    settings.dpi = 300;
    settings.workers = 1;
    const autoflat::SAutoFlatResult result = autoflat::AutoFlat(view, nullptr, settings);
    EXPECT_EQ(result.status, autoflat::EAutoFlatStatus::Ok) << result.message;
    sim::CHostImage flats(page.Width(), page.Height(), channels);
    for (size_t i = 0; i < result.flats.size() && i < flats.Bytes().size(); ++i)
        flats.Bytes()[i] =
            cmyk && int(i % size_t(channels)) < colour ? uint8_t(255 - result.flats[i]) : result.flats[i];
    return flats;
}

class AutoFlatsFilter : public ::testing::Test {
protected:
    AutoFlatsFilter() : host(sim::DefaultAutoFlatsPluginPath()) {}

    void GiveSettings(int gap, int minRegion, bool spotRegions) {
        host.Descriptors().Give({sim::SDescriptorItem::Integer(kKeyMaxGap, gap),
                                 sim::SDescriptorItem::Integer(kKeyMinRegion, minRegion),
                                 sim::SDescriptorItem::Bool(kKeySpotBlacksRegions, spotRegions)});
    }

    sim::CHostSimulator host;
};

TEST_F(AutoFlatsFilter, FlatsEqualTheLibrarysOnRgbLayersAndCmyk) {
    for (int planes : {3, 4}) {
        const sim::CHostImage page = LineArt(planes);
        host.SetDocument(LayerSpec(page), page);
        GiveSettings(3, 0, true);
        ASSERT_TRUE(host.RunFilter(false).Succeeded()) << planes;
        EXPECT_EQ(host.Output(), LibraryFlats(page, false, 3)) << planes << " planes";
        EXPECT_TRUE(host.guardsIntact);
    }

    // CMYK as the host keeps it: 255 is no ink, so line art is K near 0.
    const sim::CHostImage rgb = LineArt(3);
    sim::CHostImage cmyk(rgb.Width(), rgb.Height(), 4);
    for (int y = 0; y < rgb.Height(); ++y)
        for (int x = 0; x < rgb.Width(); ++x) {
            const bool line = rgb.At(x, y, 0) == 0 && rgb.At(x, y, 1) == 0;
            const bool hint = rgb.At(x, y, 0) == 255 && rgb.At(x, y, 1) == 0;
            cmyk.SetPixel(x, y,
                          {uint8_t(hint ? 0 : 255), uint8_t(hint ? 20 : 255), uint8_t(hint ? 20 : 255),
                           uint8_t(line ? 0 : 255)});
        }
    sim::SImageSpec spec = testing_support::RgbSpec(cmyk);
    spec.imageMode = host::plugInModeCMYKColor;
    spec.planes = 4;
    host.SetDocument(spec, cmyk);
    GiveSettings(3, 0, true);
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    EXPECT_EQ(host.Output(), LibraryFlats(cmyk, true, 3));
}

// A layer's host announces steps for its colour planes, as the flat filter
// asks for; this filter asks for the transparency too, and the buffers the
// host then delivers (and the steps it gives with them) hold four planes.
TEST_F(AutoFlatsFilter, ReadsALayerInTheStepsOfTheBuffersDelivered) {
    for (const sim::ELayout layout : {sim::ELayout::InterleavedSteps, sim::ELayout::Planar})
        for (const bool opaque : {true, false}) {
            sim::CHostImage page = LineArt(4);
            if (opaque)
                for (int y = 0; y < page.Height(); ++y)
                    for (int x = 0; x < page.Width(); ++x) page.At(x, y, 3) = 255;
            sim::SImageSpec spec = LayerSpec(page);
            spec.layout = layout;
            host.SetDocument(spec, page);
            ASSERT_EQ(host.Record().inColumnBytes, layout == sim::ELayout::Planar ? 1 : 3);
            GiveSettings(3, 0, true);
            ASSERT_TRUE(host.RunFilter(false).Succeeded());
            EXPECT_EQ(host.Output(), LibraryFlats(page, false, 3))
                << (layout == sim::ELayout::Planar ? "planar" : "interleaved") << (opaque ? ", opaque" : "");
            EXPECT_TRUE(host.guardsIntact);
        }
}

TEST_F(AutoFlatsFilter, TheGapClosesTheOpenBoxAndTheSettingsAreRecorded) {
    const sim::CHostImage page = LineArt(3);
    host.SetDocument(LayerSpec(page), page);
    GiveSettings(2, 0, false);
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    // Inside the left box, inside the right box (whose wall has a gap), and
    // outside both: three colours.
    const sim::CHostImage& out = host.Output();
    auto colour = [&](int x, int y) {
        return std::vector<uint8_t>{out.At(x, y, 0), out.At(x, y, 1), out.At(x, y, 2)};
    };
    EXPECT_NE(colour(8, 7), colour(20, 6));
    EXPECT_NE(colour(20, 6), colour(28, 11));
    EXPECT_NE(colour(8, 7), colour(28, 11));
    EXPECT_EQ(colour(7, 5), (std::vector<uint8_t>{255, 0, 0}));  // the hint's colour

    ASSERT_FALSE(host.Descriptors().written.empty());
    const std::vector<sim::SDescriptorItem> recorded = host.Descriptors().written.back();
    EXPECT_EQ(recorded,
              (std::vector<sim::SDescriptorItem>{sim::SDescriptorItem::Integer(kKeyMaxGap, 2),
                                                 sim::SDescriptorItem::Integer(kKeyMinRegion, 0),
                                                 sim::SDescriptorItem::Bool(kKeySpotBlacksRegions, false)}));
}

TEST_F(AutoFlatsFilter, TheDialogsValuesAreKeptInItsOwnPreferencesFile) {
    const sim::CHostImage page = LineArt(3);
    host.SetDocument(LayerSpec(page), page);
    setenv("VANDREL_DIALOG", "gap=5;region=40;spots=0;ok", 1);
    const sim::SRunResult run = host.RunFilter(true);
    unsetenv("VANDREL_DIALOG");
    ASSERT_TRUE(run.Succeeded());

    std::ifstream file(std::filesystem::path(host.prefsFolder) / kAutoFlatsPrefsFileName);
    CAutoFlatsParams saved;
    saved.maxGap = 0;
    ReadAutoFlatsPrefs(file, saved);
    EXPECT_EQ(saved.maxGap, 5);
    EXPECT_EQ(saved.minRegion, 40u);
    EXPECT_FALSE(saved.SpotBlacksAreRegions());
    // Vandrel Pro's own file is not this filter's to write.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(host.prefsFolder) / "Vandrel Pro Prefs"));
}

TEST_F(AutoFlatsFilter, ACancelOrAPageWithoutRegionsLeavesTheImageAsItWas) {
    const sim::CHostImage page = LineArt(3);
    host.SetDocument(LayerSpec(page), page);
    GiveSettings(3, 0, true);
    host.abortTest = [] { return true; };
    EXPECT_EQ(host.RunFilter(false).result, host::userCanceledErr);
    EXPECT_EQ(host.Output(), page);

    const sim::CHostImage black = testing_support::SolidImage(16, 16, 3, testing_support::kBlack);
    host.abortTest = nullptr;
    host.SetDocument(LayerSpec(black), black);
    GiveSettings(3, 0, false);
    EXPECT_EQ(host.RunFilter(false).result, host::filterBadParameters);
    EXPECT_EQ(host.Output(), black);
}

// Every departure from the interface the simulator plays, met as Vandrel
// Pro meets it: the run succeeds with the same pixels, twice in a row (a
// repeated filter), and the descriptor's gap reaches Start.
struct SQuirkCase {
    const char* name;
    sim::SHostQuirks quirks;
};

void PrintTo(const SQuirkCase& c, std::ostream* out) { *out << c.name; }

class AutoFlatsQuirks : public ::testing::TestWithParam<SQuirkCase> {};

std::vector<SQuirkCase> QuirkCases() {
    std::vector<SQuirkCase> cases;
    auto add = [&](const char* name, auto set) {
        sim::SHostQuirks quirks;
        set(quirks);
        cases.push_back({name, quirks});
    };
    add("documented", [](sim::SHostQuirks&) {});
    add("dropsDataSlot", [](sim::SHostQuirks& q) { q.dropsDataSlot = true; });
    add("dropsParametersHandle", [](sim::SHostQuirks& q) { q.dropsParametersHandle = true; });
    add("finishesAfterFailure", [](sim::SHostQuirks& q) { q.finishesAfterFailure = true; });
    add("continuesWhileRectsNonEmpty", [](sim::SHostQuirks& q) { q.continuesWhileRectsNonEmpty = true; });
    add("refilledContinues", [](sim::SHostQuirks& q) { q.refilledContinues = 2; });
    add("olderRecord", [](sim::SHostQuirks& q) { q.shortRecordBytes = sim::kOlderRecordBytes; });
    add("newRecordEachRun", [](sim::SHostQuirks& q) { q.newRecordEachRun = true; });
    add("newRecordEachCall", [](sim::SHostQuirks& q) { q.newRecordEachCall = true; });
    add("handleProcsMissing", [](sim::SHostQuirks& q) { q.handleProcsMissing = true; });
    return cases;
}

TEST_P(AutoFlatsQuirks, RunsAsOnADocumentedHost) {
    sim::CHostSimulator host(GetParam().quirks, sim::DefaultAutoFlatsPluginPath());
    const sim::CHostImage page = LineArt(3);
    const sim::CHostImage expected = LibraryFlats(page, false, 3);
    for (int run = 0; run < 2; ++run) {
        host.SetDocument(LayerSpec(page), page);
        host.Descriptors().Give({sim::SDescriptorItem::Integer(kKeyMaxGap, 3)});
        const sim::SRunResult result = host.RunFilter(false);
        ASSERT_TRUE(result.Succeeded()) << GetParam().name << " run " << run;
        EXPECT_EQ(host.Output(), expected) << GetParam().name << " run " << run;
        EXPECT_TRUE(host.guardsIntact);
        EXPECT_TRUE(host.recordGuardsIntact);
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, AutoFlatsQuirks, ::testing::ValuesIn(QuirkCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AutoFlatsStores, BlockAndPreferencesCarryEveryFieldAndRefuseStrangers) {
    CAutoFlatsParams params;
    params.maxGap = 513;
    params.minRegion = 70000;
    params.spotBlacks = kSpotBlacksLines;
    uint8_t block[kAutoFlatsBlockSize] = {};
    EncodeAutoFlatsBlock(params, block);
    CAutoFlatsParams decoded;
    DecodeAutoFlatsBlock(block, decoded);
    EXPECT_EQ(decoded.maxGap, 513);
    EXPECT_EQ(decoded.minRegion, 70000u);
    EXPECT_FALSE(decoded.SpotBlacksAreRegions());

    std::stringstream text;
    WriteAutoFlatsPrefs(text, params);
    CAutoFlatsParams read;
    ReadAutoFlatsPrefs(text, read);
    EXPECT_EQ(read.maxGap, 513);
    EXPECT_EQ(read.minRegion, 70000u);

    // Vandrel Pro's line is not a record of this filter: the defaults stay.
    std::stringstream other("1449423468 1 256 B ");
    CAutoFlatsParams defaults;
    ReadAutoFlatsPrefs(other, defaults);
    EXPECT_EQ(defaults.maxGap, kDefaultMaxGap);
    EXPECT_TRUE(defaults.IsValid());
}

}  // namespace
