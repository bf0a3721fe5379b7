// Line art in whatever form it is saved, hints from the page or from a
// second file, and the outputs beside the flats: one page, one set of flats.
#include <signal.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "cli/PaletteFile.h"
#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;
using cli::SPaletteColour;

namespace {

using AutoflatInput = ToolTest;

SPaletteColour ColourAt(SPicture& picture, int x, int y) {
    return {picture.At(x, y, 0), picture.At(x, y, 1), picture.At(x, y, 2)};
}

// Every colour of a picture, alpha left out, as 0xRRGGBB.
std::set<uint32_t> Colours(SPicture picture) {
    std::set<uint32_t> colours;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const SPaletteColour c = ColourAt(picture, x, y);
            colours.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
        }
    return colours;
}

// The map's region numbers, 16-bit gray or RGB, stand for the entries of
// its palette: each pixel of the flats has its region's colour, and every
// region is a colour of its own.
void ExpectMapAgreesWithFlats(const std::vector<uint32_t>& labels, SPicture flats, const std::string& gpl) {
    const std::vector<SPaletteColour> palette = cli::ReadPaletteFile(gpl);
    std::set<uint32_t> seen;
    for (int y = 0; y < flats.height; ++y)
        for (int x = 0; x < flats.width; ++x) {
            const uint32_t label = labels[size_t(y) * size_t(flats.width) + size_t(x)];
            ASSERT_LT(label, palette.size()) << x << ", " << y;
            ASSERT_EQ(ColourAt(flats, x, y), palette[label]) << x << ", " << y;
            seen.insert(label);
        }
    EXPECT_EQ(seen.size(), palette.size());
}

TEST_F(AutoflatInput, EveryKindOfLineArtGivesTheSameFlats) {
    const SPicture gray = ThreeRegionPage();
    SavePng(Path("rgb.png"), AsColour(gray, 3));
    ASSERT_EQ(RunTool({"autoflat", Path("rgb.png"), "-o", Path("reference.png")}).status, 0);
    SPicture reference = LoadPng(Path("reference.png"));
    // Three regions, each its own colour, and not one line pixel left black.
    EXPECT_EQ(Colours(reference).size(), 3u);
    EXPECT_EQ(Colours(reference).count(0), 0u);

    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> kinds = {
        {"rgba.png", [&](auto& p) { SavePng(p, AsColour(gray, 4)); }},
        {"gray.png", [&](auto& p) { SaveGrayPng(p, gray); }},
        {"gray-alpha.png", [&](auto& p) { SaveGrayPng(p, WithAlpha(gray)); }},
        {"bilevel.png", [&](auto& p) { SaveGrayPng(p, gray, 1); }},
        {"rgb.tif", [&](auto& p) { SaveTiff(p, AsColour(gray, 3)); }},
        {"rgba.tif", [&](auto& p) { SaveTiff(p, AsColour(gray, 4)); }},
        {"gray.tif", [&](auto& p) { SaveGrayTiff(p, gray); }},
        {"gray-alpha.tif", [&](auto& p) { SaveGrayTiff(p, WithAlpha(gray)); }},
        {"bilevel-white-0.tif", [&](auto& p) { SaveGrayTiff(p, gray, 1, true); }},
        {"bilevel-black-0.tif", [&](auto& p) { SaveGrayTiff(p, gray, 1, false); }},
    };
    for (const auto& [name, save] : kinds) {
        save(Path(name));
        const std::string out = Path("flats-" + name + ".png");
        const SToolRun run = RunTool({"autoflat", Path(name), "-o", out});
        ASSERT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(run.out, out + "\n") << name;
        SPicture flats = LoadPng(out);
        for (int y = 0; y < flats.height; ++y)
            for (int x = 0; x < flats.width; ++x) {
                ASSERT_EQ(ColourAt(flats, x, y), ColourAt(reference, x, y))
                    << name << " at " << x << ", " << y;
                ASSERT_EQ(flats.planes == 4 ? flats.At(x, y, 3) : 255, 255) << name;
            }
    }
}

// Hints on a page of their own are the hints painted on the line art:
// the same flats, and each hinted region in its hint's colour.
TEST_F(AutoflatInput, HintsFromAFileEqualHintsPaintedOnThePage) {
    SPicture painted = AsColour(ThreeRegionPage(), 3);
    SavePng(Path("bare.png"), painted);
    SPicture hints = painted;
    std::fill(hints.samples.begin(), hints.samples.end(), uint8_t(255));
    const std::vector<std::tuple<int, int, SPaletteColour>> dots = {{10, 20, {220, 30, 40}},
                                                                    {45, 10, {30, 60, 200}}};
    for (const auto& [x, y, c] : dots)
        for (int k = 0; k < 9; ++k)
            for (SPicture* p : {&painted, &hints}) {
                p->At(x + k % 3, y + k / 3, 0) = c.r;
                p->At(x + k % 3, y + k / 3, 1) = c.g;
                p->At(x + k % 3, y + k / 3, 2) = c.b;
            }
    SavePng(Path("painted.png"), painted);
    SavePng(Path("hints.png"), hints);
    ASSERT_EQ(RunTool({"autoflat", Path("painted.png"), "-o", Path("from-page.png")}).status, 0);
    const SToolRun run =
        RunTool({"autoflat", Path("bare.png"), "--hints", Path("hints.png"), "-o", Path("from-file.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture fromFile = LoadPng(Path("from-file.png"));
    EXPECT_EQ(fromFile, LoadPng(Path("from-page.png")));
    for (const auto& [x, y, colour] : dots) EXPECT_EQ(ColourAt(fromFile, x + 8, y + 1), colour);
}

TEST_F(AutoflatInput, TheRegionMapAgreesWithTheFlats) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    const SToolRun run =
        RunTool({"autoflat", Path("page.png"), "-o", Path("flats.png"), "--regions", Path("map.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("flats.png") + "\n" + Path("map.png") + "\n" + Path("map.gpl") + "\n");
    ExpectMapAgreesWithFlats(LoadGray16Png(Path("map.png")), LoadPng(Path("flats.png")), Path("map.gpl"));
    EXPECT_EQ(cli::ReadPaletteFile(Path("map.gpl")).size(), 3u);
}

// Past 65536 regions the numbers no longer fit 16 bits: the map is RGB,
// red the high byte.
TEST_F(AutoflatInput, AMapOfManyRegionsCarriesItsNumbersInRgb) {
    SPicture grid{3 * 300 + 1, 3 * 230 + 1, 1, {}};
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x) grid.samples.push_back(x % 3 == 0 || y % 3 == 0 ? 0 : 255);
    SaveGrayPng(Path("grid.png"), grid);
    const SToolRun run = RunTool({"autoflat", Path("grid.png"), "-o", Path("flats.png"), "--regions",
                                  Path("map.png"), "--min-region", "0", "--gap", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture map = LoadPng(Path("map.png"));
    ASSERT_EQ(map.planes, 3);
    std::vector<uint32_t> labels;
    for (size_t i = 0; i < map.samples.size(); i += 3)
        labels.push_back(uint32_t(map.samples[i]) << 16 | uint32_t(map.samples[i + 1]) << 8 |
                         map.samples[i + 2]);
    ExpectMapAgreesWithFlats(labels, LoadPng(Path("flats.png")), Path("map.gpl"));
    EXPECT_EQ(cli::ReadPaletteFile(Path("map.gpl")).size(), 300u * 230u);
}

// For inspection the regions are filled and the lines left on them.
TEST_F(AutoflatInput, KeepLinesLeavesTheLinePixelsAsTheyWere) {
    SPicture page = AsColour(ThreeRegionPage(), 3);
    SavePng(Path("page.png"), page);
    ASSERT_EQ(RunTool({"autoflat", Path("page.png"), "-o", Path("melted.png")}).status, 0);
    const SToolRun run = RunTool({"autoflat", Path("page.png"), "-o", Path("lines.png"), "--keep-lines"});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture melted = LoadPng(Path("melted.png")), lines = LoadPng(Path("lines.png"));
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            EXPECT_EQ(ColourAt(lines, x, y), ColourAt(page.At(x, y, 0) == 0 ? page : melted, x, y))
                << x << ", " << y;
}

TEST_F(AutoflatInput, APaletteRestrictsTheColours) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    WriteBytes(Path("three.txt"), "#e03040\n#3060c0\n#f0d020\n");
    const SToolRun run =
        RunTool({"autoflat", Path("page.png"), "-o", Path("flats.png"), "--palette", Path("three.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Colours(LoadPng(Path("flats.png"))), (std::set<uint32_t>{0xe03040, 0x3060c0, 0xf0d020}));
}

// A solid black block wider than any line is a region of its own unless
// asked otherwise; lines lighter than --threshold are not lines.
TEST_F(AutoflatInput, SpotBlacksAndThresholdReachTheRegions) {
    SPicture page{120, 90, 1, {}};
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            const bool frame = x < 2 || y < 2 || x >= 118 || y >= 88;
            page.samples.push_back(frame || (x >= 30 && x < 80 && y >= 20 && y < 70) ? 0 : 255);
        }
    SaveGrayPng(Path("block.png"), page);
    auto regions = [&](const std::string& spotBlacks) {
        const SToolRun run = RunTool({"autoflat", Path("block.png"), "-o", Path("f.png"), "--regions",
                                      Path("m.png"), "--overwrite", "--spot-blacks", spotBlacks});
        EXPECT_EQ(run.status, 0) << run.err;
        return cli::ReadPaletteFile(Path("m.gpl")).size();
    };
    EXPECT_EQ(regions("regions"), 2u);
    EXPECT_EQ(regions("lines"), 1u);

    for (uint8_t& v : page.samples) v = v == 0 ? 100 : v;
    SaveGrayPng(Path("grey.png"), page);
    EXPECT_EQ(RunTool({"autoflat", Path("grey.png"), "-o", Path("a.png")}).status, 0);
    const SToolRun light =
        RunTool({"autoflat", "-q", Path("grey.png"), "-o", Path("b.png"), "--threshold", "200"});
    EXPECT_EQ(light.status, 1) << light.err;
    EXPECT_NE(light.err.find("no line art"), std::string::npos) << light.err;
}

TEST_F(AutoflatInput, CtrlCLeavesNoOutputAndExits130) {
    SPicture tile = ThreeRegionPage(), page{64 * 50, 48 * 50, 1, {}};
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) page.samples.push_back(tile.At(x % 64, y % 48, 0));
    SaveGrayPng(Path("large.png"), page);
    CToolChild tool({"autoflat", Path("large.png"), "-o", Path("flats.png"), "--regions", Path("map.png")});
    ASSERT_TRUE(tool.WaitForError("flatting 3200 x 2400 pixels", 60));
    tool.Signal(SIGINT);
    const SToolRun run = tool.Wait(20);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_NE(run.err.find("interrupted; " + Path("large.png") + " was not written"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Listing(), std::vector<std::string>{"large.png"});
}

}  // namespace
