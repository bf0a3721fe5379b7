// Palettes as users bring them: GIMP's .gpl files and plain lists of hex
// colours, read to the colours they list, and refused with the line at
// fault when they are not palettes.
#include <gtest/gtest.h>

#include "cli/ImageError.h"
#include "cli/PaletteFile.h"

namespace {

using cli::CImageError;
using cli::ParsePalette;
using cli::SPaletteColour;

std::string RefusalOf(const std::string& text) {
    try {
        ParsePalette(text);
    } catch (const CImageError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(AutoflatPalette, AGimpPaletteGivesItsColoursInOrder) {
    const std::string gpl =
        "GIMP Palette\r\nName: Skin and sky\nColumns: 4\n# a comment\n\n"
        "240 200 160\tSkin\n  90 140 220 Sky blue\n255 255 255\n";
    EXPECT_EQ(ParsePalette(gpl),
              (std::vector<SPaletteColour>{{240, 200, 160}, {90, 140, 220}, {255, 255, 255}}));
}

TEST(AutoflatPalette, AHexListGivesItsColoursWithRepeatsOnce) {
    EXPECT_EQ(ParsePalette("#FF8000\n\n#0a0B0c  \r\nff8000\n#102030"),
              (std::vector<SPaletteColour>{{255, 128, 0}, {10, 11, 12}, {16, 32, 48}}));
}

TEST(AutoflatPalette, MalformedLinesAreRefusedByNumber) {
    EXPECT_EQ(RefusalOf("GIMP Palette\n10 20\n"),
              "palette line 2: expected three numbers 0-255 (red green blue), found \"10 20\"");
    EXPECT_EQ(RefusalOf("GIMP Palette\n10 20 256\n"),
              "palette line 2: expected three numbers 0-255 (red green blue), found \"10 20 256\"");
    EXPECT_EQ(RefusalOf("GIMP Palette\n10 20 -3\n"),
              "palette line 2: expected three numbers 0-255 (red green blue), found \"10 20 -3\"");
    EXPECT_EQ(RefusalOf("GIMP Palette\n10x 20 30\n"),
              "palette line 2: expected three numbers 0-255 (red green blue), found \"10x 20 30\"");
    EXPECT_EQ(RefusalOf("#ff0000\n#12345\n"),
              "palette line 2: expected a colour as #rrggbb, found \"#12345\"");
    EXPECT_EQ(RefusalOf("#ff0000\n\n#gg0000\n"),
              "palette line 3: expected a colour as #rrggbb, found \"#gg0000\"");
    EXPECT_EQ(RefusalOf("red\n"), "palette line 1: expected a colour as #rrggbb, found \"red\"");
}

TEST(AutoflatPalette, EmptyBinaryAndLineArtColouredPalettesAreRefused) {
    EXPECT_EQ(RefusalOf(""), "the palette holds no colours");
    EXPECT_EQ(RefusalOf("GIMP Palette\nName: nothing\n# none\n"), "the palette holds no colours");
    EXPECT_EQ(RefusalOf(std::string("\x89PNG\r\n\x1a\n\0\0", 10)), "the palette is not a text file");
    // The melt takes such a colour for line art: its regions would vanish.
    EXPECT_EQ(RefusalOf("#ff0000\n#080808\n"),
              "palette line 2: a colour this dark would be taken for line art and melted away");
    EXPECT_EQ(ParsePalette("#090000\n").size(), 1u);
}

TEST(AutoflatPalette, TheRegionsPaletteReadsBackAsGiven) {
    const std::vector<SPaletteColour> colours = {{255, 0, 0}, {12, 200, 7}, {255, 0, 0}, {9, 9, 9}};
    const std::string text = cli::GimpPaletteText("page", colours);
    EXPECT_EQ(text.rfind("GIMP Palette\nName: page\n", 0), 0u);
    EXPECT_NE(text.find("region 3\n"), std::string::npos);
    EXPECT_EQ(ParsePalette(text), (std::vector<SPaletteColour>{{255, 0, 0}, {12, 200, 7}, {9, 9, 9}}));
}

}  // namespace
