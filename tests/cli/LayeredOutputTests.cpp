// Layered results follow the rules of flat ones: named as the flats would
// be with the format's extension, listed once in place, never partial,
// never over an existing file unasked. What is inside them is checked by
// readers of the formats (tests/layered).
#include <fstream>
#include <iterator>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using LayeredOutput = ToolTest;

std::string Head(const std::string& path, size_t bytes) {
    std::ifstream file(path, std::ios::binary);
    std::string text(bytes, '\0');
    file.read(text.data(), std::streamsize(bytes));
    text.resize(size_t(file.gcount()));
    return text;
}

TEST_F(LayeredOutput, ResultsAreNamedAsTheFlatsWithTheFormatsExtensionAndListed) {
    SavePng(Path("page.png"), AsColour(ThreeRegionPage(), 3));
    SToolRun run = RunTool({"autoflat", Path("page.png"), "--layers", "psd", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("page-flats.psd") + "\n");
    EXPECT_EQ(Head(Path("page-flats.psd"), 6), std::string("8BPS\0\1", 6));
    run = RunTool({"flat", Path("page.png"), "--out-dir", Path("out"), "--layers", "psd", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("out/page.psd") + "\n");
    run = RunTool({"autoflat", Path("page.png"), "--out-dir", Path("out"), "--layers", "ora", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("out/page.ora") + "\n");
    EXPECT_EQ(Head(Path("out/page.ora"), 54).substr(30), "mimetypeimage/openraster");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"out", "page-flats.psd", "page.png"}));
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{"page.ora", "page.psd"}));
}

TEST_F(LayeredOutput, AnOutputNamedForAnotherFormatIsRefusedBeforeAnyWork) {
    SavePng(Path("page.png"), AsColour(ThreeRegionPage(), 3));
    for (const char* command : {"flat", "autoflat"}) {
        const SToolRun run =
            RunTool({command, Path("page.png"), "-o", Path("page.png.tif"), "--layers", "psd"});
        EXPECT_EQ(run.status, 64) << run.err;
        EXPECT_NE(run.err.find("--layers psd writes a .psd file"), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunTool({"flat", Path("page.png"), "--layers", "tiff"}).status, 64);
    EXPECT_EQ(Listing(), std::vector<std::string>{"page.png"});
}

TEST_F(LayeredOutput, WhatTheFormatCannotHoldIsRefusedBeforeFlatting) {
    SPicture cmyk = AsColour(ThreeRegionPage(), 3);
    cmyk.planes = 4;
    cmyk.samples.clear();
    for (uint8_t gray : ThreeRegionPage().samples)
        cmyk.samples.insert(cmyk.samples.end(), {0, 0, 0, uint8_t(255 - gray)});
    STiffLayout layout;
    layout.photometric = PHOTOMETRIC_SEPARATED;
    SaveTiff(Path("page.tif"), cmyk, layout);
    for (const char* command : {"flat", "autoflat"}) {
        const SToolRun run = RunTool({command, Path("page.tif"), "--layers", "ora", "-q"});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("OpenRaster holds RGB pages only and this page is CMYK: use --layers psd"),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"page.tif"});
    ASSERT_EQ(RunTool({"autoflat", Path("page.tif"), "--layers", "psd", "-q"}).status, 0);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"page-flats.psd", "page.tif"}));
    // Wider than a .psd goes; OpenRaster has no such limit.
    SPicture wide;
    wide.width = 30001;
    wide.height = 2;
    wide.samples.assign(size_t(wide.width) * 2 * 3, 255);
    SavePng(Path("wide.png"), wide);
    SToolRun run = RunTool({"flat", Path("wide.png"), "--layers", "psd", "-q"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("at most 30000 pixels a side, and this page is 30001 x 2"), std::string::npos)
        << run.err;
    run = RunTool({"flat", Path("wide.png"), "--layers", "ora", "-q"});
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(LayeredOutput, AnExistingResultIsKeptAndAFailedWriteLeavesNothing) {
    SavePng(Path("page.png"), AsColour(ThreeRegionPage(), 3));
    { std::ofstream(Path("mine.psd")) << "the user's own file"; }
    SToolRun run = RunTool({"autoflat", Path("page.png"), "-o", Path("mine.psd"), "--layers", "psd"});
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(Head(Path("mine.psd"), 100), "the user's own file");
    // A disk that fills up part way: no partial file, no temporary left.
    SToolSetup full;
    full.fileBytes = 200;
    run = RunTool({"autoflat", Path("page.png"), "-o", Path("new.psd"), "--layers", "psd"}, full);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"mine.psd", "page.png"}));
}

}  // namespace
