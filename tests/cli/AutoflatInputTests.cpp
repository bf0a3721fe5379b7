// Line art in whatever form it is saved, hints from the page or from a
// second file, and the outputs beside the flats: one page, one set of flats.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using AutoflatInput = ToolTest;

// The colour planes alone, for flats that may carry an alpha plane.
SPicture ColourOf(const SPicture& flats) {
    if (flats.planes == 3) return flats;
    SPicture colour = flats;
    colour.planes = 3;
    colour.samples.clear();
    for (size_t i = 0; i < flats.samples.size(); i += size_t(flats.planes))
        colour.samples.insert(colour.samples.end(), flats.samples.begin() + ptrdiff_t(i),
                              flats.samples.begin() + ptrdiff_t(i) + 3);
    return colour;
}

std::set<std::vector<uint8_t>> Colours(SPicture picture) {
    std::set<std::vector<uint8_t>> colours;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            colours.insert({picture.At(x, y, 0), picture.At(x, y, 1), picture.At(x, y, 2)});
    return colours;
}

std::vector<uint8_t> ColourAt(SPicture& picture, int x, int y) {
    return {picture.At(x, y, 0), picture.At(x, y, 1), picture.At(x, y, 2)};
}

// The colours of a GIMP palette the tool wrote, in entry order.
std::vector<std::vector<uint8_t>> GimpColours(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::vector<uint8_t>> colours;
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, "GIMP Palette");
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("Name:", 0) == 0 || line.rfind("Columns:", 0) == 0)
            continue;
        std::istringstream fields(line);
        int r = -1, g = -1, b = -1;
        fields >> r >> g >> b;
        colours.push_back({uint8_t(r), uint8_t(g), uint8_t(b)});
    }
    return colours;
}

TEST_F(AutoflatInput, EveryKindOfLineArtGivesTheSameFlats) {
    const SPicture gray = ThreeRegionPage();
    SavePng(Path("rgb.png"), AsColour(gray, 3));
    ASSERT_EQ(RunTool({"autoflat", Path("rgb.png"), "-o", Path("reference.png")}).status, 0);
    const SPicture reference = LoadPng(Path("reference.png"));
    // Three regions, each its own colour, and not one line pixel left black.
    EXPECT_EQ(Colours(reference).size(), 3u);
    EXPECT_EQ(Colours(reference).count({0, 0, 0}), 0u);

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
        const SPicture flats = LoadPng(out);
        EXPECT_EQ(ColourOf(flats), reference) << name;
        if (flats.planes == 4) {
            for (size_t i = 3; i < flats.samples.size(); i += 4) ASSERT_EQ(flats.samples[i], 255) << name;
        }
    }
}

// Hints on a page of their own are the hints painted on the line art:
// the same flats, and each hinted region in its hint's colour.
TEST_F(AutoflatInput, HintsFromAFileEqualHintsPaintedOnThePage) {
    const SPicture gray = ThreeRegionPage();
    SPicture painted = AsColour(gray, 3);
    SPicture hints = AsColour(gray, 3);
    std::fill(hints.samples.begin(), hints.samples.end(), uint8_t(255));
    const std::vector<std::tuple<int, int, std::vector<uint8_t>>> dots = {{10, 20, {220, 30, 40}},
                                                                          {45, 10, {30, 60, 200}}};
    for (const auto& [x, y, colour] : dots)
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                for (int k = 0; k < 3; ++k)
                    painted.At(x + dx, y + dy, k) = hints.At(x + dx, y + dy, k) = colour[k];
    SavePng(Path("painted.png"), painted);
    SavePng(Path("bare.png"), AsColour(gray, 3));
    SavePng(Path("hints.png"), hints);
    ASSERT_EQ(RunTool({"autoflat", Path("painted.png"), "-o", Path("from-page.png")}).status, 0);
    const SToolRun run =
        RunTool({"autoflat", Path("bare.png"), "--hints", Path("hints.png"), "-o", Path("from-file.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture fromFile = LoadPng(Path("from-file.png"));
    EXPECT_EQ(fromFile, LoadPng(Path("from-page.png")));
    for (const auto& [x, y, colour] : dots) {
        EXPECT_EQ(ColourAt(fromFile, x + 8, y + 1), colour);
    }
}

// The map numbers the regions; each number stands for one colour of the
// flats, the one its palette entry gives, and no colour for two numbers.
TEST_F(AutoflatInput, TheRegionMapAgreesWithTheFlats) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    const SToolRun run =
        RunTool({"autoflat", Path("page.png"), "-o", Path("flats.png"), "--regions", Path("map.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("flats.png") + "\n" + Path("map.png") + "\n" + Path("map.gpl") + "\n");
    SPicture flats = LoadPng(Path("flats.png"));
    int width = 0, height = 0;
    const std::vector<uint32_t> labels = LoadGray16Png(Path("map.png"), &width, &height);
    ASSERT_EQ(width, flats.width);
    ASSERT_EQ(height, flats.height);
    const std::vector<std::vector<uint8_t>> palette = GimpColours(Path("map.gpl"));
    std::map<uint32_t, std::vector<uint8_t>> colourOf;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t label = labels[size_t(y) * size_t(width) + size_t(x)];
            ASSERT_LT(label, palette.size());
            EXPECT_EQ(ColourAt(flats, x, y), palette[label]) << x << ", " << y;
            colourOf.emplace(label, ColourAt(flats, x, y));
        }
    EXPECT_EQ(colourOf.size(), 3u);
    std::set<std::vector<uint8_t>> distinct;
    for (const auto& [label, colour] : colourOf) distinct.insert(colour);
    EXPECT_EQ(distinct.size(), colourOf.size());
}

// Past 65536 regions the numbers no longer fit 16 bits: the map is RGB,
// red the high byte, and still agrees with the flats pixel by pixel.
TEST_F(AutoflatInput, AMapOfManyRegionsCarriesItsNumbersInRgb) {
    SPicture grid;
    grid.width = 3 * 300 + 1;
    grid.height = 3 * 230 + 1;
    grid.planes = 1;
    grid.samples.resize(size_t(grid.width) * size_t(grid.height));
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x) grid.At(x, y, 0) = x % 3 == 0 || y % 3 == 0 ? 0 : 255;
    SaveGrayPng(Path("grid.png"), grid);
    const SToolRun run = RunTool({"autoflat", Path("grid.png"), "-o", Path("flats.png"), "--regions",
                                  Path("map.png"), "--min-region", "0", "--gap", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture map = LoadPng(Path("map.png")), flats = LoadPng(Path("flats.png"));
    ASSERT_EQ(map.planes, 3);
    const std::vector<std::vector<uint8_t>> palette = GimpColours(Path("map.gpl"));
    EXPECT_EQ(palette.size(), 300u * 230u);
    std::set<uint32_t> seen;
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x) {
            const uint32_t label =
                uint32_t(map.At(x, y, 0)) << 16 | uint32_t(map.At(x, y, 1)) << 8 | map.At(x, y, 2);
            ASSERT_LT(label, palette.size()) << x << ", " << y;
            ASSERT_EQ(ColourAt(flats, x, y), palette[label]) << x << ", " << y;
            seen.insert(label);
        }
    EXPECT_EQ(seen.size(), palette.size());
}

// For inspection the regions are filled and the lines left on them.
TEST_F(AutoflatInput, KeepLinesLeavesTheLinePixelsAsTheyWere) {
    SPicture page = AsColour(ThreeRegionPage(), 3);
    SavePng(Path("page.png"), page);
    ASSERT_EQ(RunTool({"autoflat", Path("page.png"), "-o", Path("melted.png")}).status, 0);
    const SToolRun run = RunTool({"autoflat", Path("page.png"), "-o", Path("lines.png"), "--keep-lines"});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture melted = LoadPng(Path("melted.png")), lines = LoadPng(Path("lines.png"));
    size_t linePixels = 0;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x) {
            if (page.At(x, y, 0) == 0) {
                ++linePixels;
                EXPECT_EQ(ColourAt(lines, x, y), ColourAt(page, x, y)) << x << ", " << y;
            } else {
                EXPECT_EQ(ColourAt(lines, x, y), ColourAt(melted, x, y)) << x << ", " << y;
            }
        }
    EXPECT_GT(linePixels, 0u);
}

// Colours from a palette file only, touching regions still apart.
TEST_F(AutoflatInput, APaletteRestrictsTheColours) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    WriteBytes(Path("three.txt"), "#e03040\n#3060c0\n#f0d020\n");
    const SToolRun run =
        RunTool({"autoflat", Path("page.png"), "-o", Path("flats.png"), "--palette", Path("three.txt")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::set<std::vector<uint8_t>> allowed = {
        {0xe0, 0x30, 0x40}, {0x30, 0x60, 0xc0}, {0xf0, 0xd0, 0x20}};
    EXPECT_EQ(Colours(LoadPng(Path("flats.png"))), allowed);
}

// Ctrl-C while the regions are worked out: nothing written, exit 130.
TEST_F(AutoflatInput, CtrlCLeavesNoOutputAndExits130) {
    SPicture page = AsColour(ThreeRegionPage(), 3);
    SPicture large;
    large.width = 64 * 50;
    large.height = 48 * 50;
    large.samples.resize(size_t(large.width) * size_t(large.height) * 3);
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x)
            for (int k = 0; k < 3; ++k) large.At(x, y, k) = page.At(x % 64, y % 48, k);
    SavePng(Path("large.png"), large);
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
