// --palette as the user gives it: a bad one is the command's fault, said
// once before any page; its lines are shown safely; a byte-order mark is
// no fault.
#include <algorithm>
#include <filesystem>

#include "cli/ImageError.h"
#include "cli/PaletteFile.h"
#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using PaletteOption = ToolTest;

std::string RefusalOf(const std::string& text) {
    try {
        cli::ParsePalette(text);
    } catch (const cli::CImageError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(PaletteLines, ABadLineIsShownShortAndWithoutControlCharacters) {
    const std::string refusal = RefusalOf("#ff0000\n" + std::string(3 << 20, '7') + "\n");
    EXPECT_LT(refusal.size(), 160u) << refusal.substr(0, 200);
    EXPECT_EQ(refusal.rfind("palette line 2: expected a colour as #rrggbb, found \"7777", 0), 0u) << refusal;
    EXPECT_NE(refusal.find("...\""), std::string::npos) << refusal;
    EXPECT_EQ(
        RefusalOf("GIMP Palette\n1 2 \x1b]0;owned\x07\n"),
        "palette line 2: expected three numbers 0-255 (red green blue), found \"1 2 \\x1b]0;owned\\x07\"");
    // Cut short at a character, not inside one.
    const std::string accents = RefusalOf(std::string(39, 'x') + "\xc3\xa9\xc3\xa9\n");
    EXPECT_NE(accents.find(std::string(39, 'x') + "...\""), std::string::npos) << accents;
}

TEST(PaletteLines, AByteOrderMarkIsPassedOver) {
    EXPECT_EQ(cli::ParsePalette("\xEF\xBB\xBFGIMP Palette\n10 20 30\n"),
              (std::vector<cli::SPaletteColour>{{10, 20, 30}}));
    EXPECT_EQ(cli::ParsePalette("\xEF\xBB\xBF#0a141e\n"), (std::vector<cli::SPaletteColour>{{10, 20, 30}}));
}

TEST_F(PaletteOption, ABadPaletteIsOneUsageErrorForAllPages) {
    SaveGrayPng(Path("a.png"), ThreeRegionPage());
    SaveGrayPng(Path("b.png"), ThreeRegionPage());
    WriteBytes(Path("bad.gpl"), "GIMP Palette\n255 0 0\n0 300 0\n");
    for (const std::string& palette : {Path("bad.gpl"), std::string("/dev/zero"), Path("missing.gpl")}) {
        const SToolRun run = RunTool(
            {"autoflat", Path("a.png"), Path("b.png"), "--out-dir", Path("out"), "--palette", palette});
        EXPECT_EQ(run.status, 64) << palette << ": " << run.err;
        EXPECT_EQ(run.err.rfind("vandrel: the palette " + palette + ": ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        EXPECT_NE(run.err.find("\nRun 'vandrel autoflat --help'"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    const SToolRun device = RunTool({"autoflat", Path("a.png"), "--palette", "/dev/zero"});
    EXPECT_NE(device.err.find("is a device, not a palette file"), std::string::npos) << device.err;
    EXPECT_EQ(device.err.find("image"), std::string::npos) << device.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
}

}  // namespace
