// Pages through real files and the real plug-in: each format comes back
// flatted pixel for pixel by the nearest-colour rule (ties: below, right,
// above, left), with what the file says about itself kept.
#include <png.h>
#include <tiffio.h>

#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

// Columns 0 and 4 are colours, 'n' in the middle is a colour too (just
// above the black limit), 'k' is black (at the limit).
const std::vector<std::string> kPage = {"r#k#b", "r#kkb", "rkn#b", "r#k#b", "r###b"};
const std::vector<std::string> kFlatted = {"rrnbb", "rrnbb", "rnnbb", "rrnbb", "rrbbb"};

// CMYK as a TIFF stores it, in ink: 'k' carries just enough black ink to
// count as line art, 'n' just too little.
const std::map<char, std::vector<uint8_t>> kCmykInk = {
    {'r', {255, 0, 0, 0}},   {'b', {0, 255, 0, 0}},   {'#', {0, 0, 0, 255}},
    {'k', {0, 255, 0, 196}}, {'n', {0, 0, 255, 195}},
};

SPicture WithAlpha(const SPicture& colour) {
    SPicture p{colour.width, colour.height, colour.planes + 1, {}};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            for (int k = 0; k < colour.planes; ++k)
                p.samples.push_back(const_cast<SPicture&>(colour).At(x, y, k));
            p.samples.push_back(uint8_t(x * 50 + y * 7 + 3));  // a different alpha for every pixel
        }
    return p;
}

using RoundTrip = ToolTest;

TEST_F(RoundTrip, RgbPngFollowsTheNearestColourRule) {
    SavePng(Path("page.png"), Picture(kPage, kRgb));
    const SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path("flat.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("flat.png") + "\n");
    EXPECT_EQ(LoadPng(Path("flat.png")), Picture(kFlatted, kRgb));
}

TEST_F(RoundTrip, RgbaPngIsFlattedAsALayerAndKeepsItsAlpha) {
    SavePng(Path("layer.png"), WithAlpha(Picture(kPage, kRgb)));
    const SToolRun run = RunTool({"flat", Path("layer.png"), "-o", Path("flat.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LoadPng(Path("flat.png")), WithAlpha(Picture(kFlatted, kRgb)));
}

TEST_F(RoundTrip, RgbTiffInEveryStorageLayout) {
    struct SCase {
        const char* name;
        STiffLayout layout;
        bool alpha;
    };
    for (const SCase& c :
         {SCase{"strips", {}, false}, SCase{"lzw", {PHOTOMETRIC_RGB, COMPRESSION_LZW}, false},
          SCase{"planar", {PHOTOMETRIC_RGB, COMPRESSION_NONE, true}, false},
          SCase{"tiles", {PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, false, true}, false},
          SCase{"planar-tiles-alpha", {PHOTOMETRIC_RGB, COMPRESSION_NONE, true, true}, true}}) {
        const std::string in = Path(std::string(c.name) + ".tif"),
                          out = Path(std::string(c.name) + "-flat.tif");
        const SPicture page = Picture(kPage, kRgb);
        SaveTiff(in, c.alpha ? WithAlpha(page) : page, c.layout);
        const SToolRun run = RunTool({"flat", in, "-o", out});
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        uint16_t photometric = 0;
        const SPicture flatted = Picture(kFlatted, kRgb);
        EXPECT_EQ(LoadTiff(out, nullptr, &photometric), c.alpha ? WithAlpha(flatted) : flatted) << c.name;
        EXPECT_EQ(photometric, PHOTOMETRIC_RGB) << c.name;
    }
}

TEST_F(RoundTrip, CmykTiffIsJudgedAsTheHostHandsItOverAndWrittenBackAsInk) {
    for (bool alpha : {false, true}) {
        const SPicture page = Picture(kPage, kCmykInk), flatted = Picture(kFlatted, kCmykInk);
        SaveTiff(Path("cmyk.tif"), alpha ? WithAlpha(page) : page, {PHOTOMETRIC_SEPARATED, COMPRESSION_LZW});
        const SToolRun run = RunTool({"flat", Path("cmyk.tif"), "-o", Path("flat.tif"), "--overwrite"});
        ASSERT_EQ(run.status, 0) << run.err;
        uint16_t photometric = 0;
        EXPECT_EQ(LoadTiff(Path("flat.tif"), nullptr, &photometric), alpha ? WithAlpha(flatted) : flatted)
            << alpha;
        EXPECT_EQ(photometric, PHOTOMETRIC_SEPARATED);
    }
}

TEST_F(RoundTrip, ResolutionAndColourProfileAreKeptAndConverted) {
    const SPicture page = Picture(kPage, kRgb);
    const SFileFacts pngFacts{11811, 5906, PNG_RESOLUTION_METER, MinimalRgbProfile()};
    const SFileFacts tiffFacts{300, 150, RESUNIT_INCH, "any profile bytes a TIFF may carry"};
    SavePng(Path("page.png"), page, pngFacts);
    SaveTiff(Path("page.tif"), page, {}, tiffFacts);
    ASSERT_EQ(RunTool({"flat", Path("page.png"), "-o", Path("png.png")}).status, 0);
    ASSERT_EQ(RunTool({"flat", Path("page.png"), "-o", Path("png.tif")}).status, 0);
    ASSERT_EQ(RunTool({"flat", Path("page.tif"), "-o", Path("tif.tif")}).status, 0);
    // PNG accepts only a profile it can parse, so this one is dropped, and said so.
    const SToolRun toPng = RunTool({"flat", Path("page.tif"), "-o", Path("tif.png")});
    ASSERT_EQ(toPng.status, 0);
    EXPECT_NE(toPng.err.find(Path("page.tif") +
                             ": warning: not everything could be kept in the PNG (libpng: profile"),
              std::string::npos)
        << toPng.err;

    SFileFacts facts;
    EXPECT_EQ(LoadPng(Path("png.png"), &facts), Picture(kFlatted, kRgb));
    EXPECT_EQ(facts, pngFacts);
    EXPECT_EQ(LoadTiff(Path("tif.tif"), &facts), Picture(kFlatted, kRgb));
    EXPECT_EQ(facts, tiffFacts);

    // Across formats the resolution keeps its meaning: TIFF has no metres,
    // PNG no inches.
    EXPECT_EQ(LoadTiff(Path("png.tif"), &facts), Picture(kFlatted, kRgb));
    EXPECT_EQ(facts.unit, RESUNIT_CENTIMETER);
    EXPECT_NEAR(facts.xRes, 118.11, 1e-3);
    EXPECT_NEAR(facts.yRes, 59.06, 1e-3);
    EXPECT_EQ(facts.icc, pngFacts.icc);
    LoadPng(Path("tif.png"), &facts);
    EXPECT_EQ(facts.unit, PNG_RESOLUTION_METER);
    EXPECT_EQ(facts.xRes, 11811);  // 300 per inch
    EXPECT_EQ(facts.yRes, 5906);
}

// A PNG's colour key makes one colour transparent: a PNG output keeps it,
// a TIFF has no place for it, and the user is told so.
TEST_F(RoundTrip, AColourKeyThatATiffCannotHoldIsNamed) {
    WriteBytes(Path("keyed.png"), PngWithColourKey(Picture({"r#b"}, kRgb), 255, 0, 0));
    SToolRun run = RunTool({"flat", Path("keyed.png"), "-o", Path("keyed-flat.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    run = RunTool({"flat", Path("keyed.png"), "-o", Path("keyed-flat.tif")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(
        run.err.find(Path("keyed.png") + ": warning: the PNG's transparent colour (tRNS) cannot be kept "
                                         "in a TIFF"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(LoadTiff(Path("keyed-flat.tif")), Picture({"rbb"}, kRgb));
}

// A TIFF may say its rows run from the bottom or its columns from the
// right; a TIFF output keeps that, a PNG has no place for it and says so.
TEST_F(RoundTrip, AnOrientationThatAPngCannotHoldIsNamed) {
    SaveTiff(Path("turned.tif"), Picture({"r#b"}, kRgb), {.orientation = ORIENTATION_BOTRIGHT});
    SToolRun run = RunTool({"flat", Path("turned.tif"), "-o", Path("turned-flat.tif")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
    run = RunTool({"flat", Path("turned.tif"), "-o", Path("turned-flat.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(Path("turned.tif") + ": warning: the TIFF's orientation (3, turned or mirrored) "
                                                "cannot be kept in a PNG"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(LoadPng(Path("turned-flat.png")), Picture({"rbb"}, kRgb));
    // Rows from the top, columns from the left: nothing to say.
    SaveTiff(Path("upright.tif"), Picture({"r#b"}, kRgb));
    run = RunTool({"flat", Path("upright.tif"), "-o", Path("upright-flat.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("warning"), std::string::npos) << run.err;
}

// Large pages are written in several pieces at once (PNG: bands of rows
// deflated on their own threads; TIFF: whole strips): without black, a
// flatted page is the page itself, so what libpng and libtiff read back
// must be every sample as it was, whichever way the file was compressed.
TEST_F(RoundTrip, LargePagesReadBackExactlyInEveryCompression) {
    SPicture page{2400, 1800, 3, {}};
    uint32_t state = 12345;
    for (int i = 0; i < page.width * page.height * 3; ++i) {
        state = state * 1103515245u + 12345u;
        // Runs of one colour and noise, so that both compress differently.
        page.samples.push_back(uint8_t(i % 7200 < 3600 ? 40 + (i / 7200) % 200 : 20 + (state >> 24) % 230));
    }
    SavePng(Path("page.png"), page);
    SaveTiff(Path("page.tif"), page, STiffLayout{PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE});
    for (const char* processors : {"VANDREL_PROCESSORS=1", "VANDREL_PROCESSORS=3"}) {
        for (const bool smallest : {false, true}) {
            for (const std::string name : {"flat.png", "flat.tif"}) {
                std::vector<std::string> args{"flat", Path("page.png"), "-o", Path(name), "--overwrite"};
                if (smallest) args.push_back("--smallest");
                const SToolRun run = RunTool(args, {.env = {processors}});
                const std::string what = std::string(processors) + (smallest ? " smallest " : " ") + name;
                ASSERT_EQ(run.status, 0) << what << ": " << run.err;
                EXPECT_EQ(name.ends_with(".png") ? LoadPng(Path(name)) : LoadTiff(Path(name)), page) << what;
            }
        }
    }
    // The default PNG stays near what libpng's own settings give.
    ASSERT_EQ(RunTool({"flat", Path("page.png"), "-o", Path("fast.png")}).status, 0);
    EXPECT_LE(ReadBytes(Path("fast.png")).size(), ReadBytes(Path("page.png")).size() * 3 / 2);
    ASSERT_EQ(RunTool({"flat", Path("page.tif"), "-o", Path("fast.tif")}).status, 0);
    EXPECT_EQ(LoadTiff(Path("fast.tif")), page);
}

}  // namespace
