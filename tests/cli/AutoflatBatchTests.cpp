// Hints and region maps in a batch, by name: NAME-hints.png beside a page
// is its hints page, NAME-map.png beside its result its map, with the
// same file safety as for one page.
#include <filesystem>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using AutoflatBatch = ToolTest;

// A white page of the line art's size with one red dot in its left region.
SPicture OneHint() {
    SPicture hints = AsColour(ThreeRegionPage(), 3);
    std::fill(hints.samples.begin(), hints.samples.end(), uint8_t(255));
    for (int k = 0; k < 9; ++k) {
        hints.At(10 + k % 3, 20 + k / 3, 1) = 0;
        hints.At(10 + k % 3, 20 + k / 3, 2) = 0;
    }
    return hints;
}

TEST_F(AutoflatBatch, EachPageTakesItsOwnHintsAndGivesItsOwnMap) {
    fs::create_directory(Path("inks"));
    SaveGrayPng(Path("inks/a.png"), ThreeRegionPage());
    SaveGrayPng(Path("inks/b.png"), ThreeRegionPage());
    SavePng(Path("inks/a-hints.png"), OneHint());
    const SToolRun run = RunTool(
        {"autoflat", "-q", Path("inks"), "--hints", "each", "--regions", "each", "--out-dir", Path("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("out/a.png") + "\n" + Path("out/a-map.png") + "\n" + Path("out/a-map.gpl") +
                           "\n" + Path("out/b.png") + "\n" + Path("out/b-map.png") + "\n" +
                           Path("out/b-map.gpl") + "\n");
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{"a-map.gpl", "a-map.png", "a.png", "b-map.gpl",
                                                        "b-map.png", "b.png"}));
    // The same files as one page at a time with its own options.
    ASSERT_EQ(RunTool({"autoflat", "-q", Path("inks/a.png"), "--hints", Path("inks/a-hints.png"), "-o",
                       Path("a.png"), "--regions", Path("a-map.png")})
                  .status,
              0);
    ASSERT_EQ(RunTool({"autoflat", "-q", Path("inks/b.png"), "-o", Path("b.png")}).status, 0);
    EXPECT_EQ(LoadPng(Path("out/a.png")), LoadPng(Path("a.png")));
    EXPECT_EQ(ReadBytes(Path("out/a-map.png")), ReadBytes(Path("a-map.png")));
    EXPECT_EQ(LoadPng(Path("out/b.png")), LoadPng(Path("b.png")));
    EXPECT_NE(LoadPng(Path("out/a.png")), LoadPng(Path("out/b.png"))) << "the hint took no effect";
}

TEST_F(AutoflatBatch, APagesMapIsNeverAnInputNorReplacedWithoutOverwrite) {
    fs::create_directory(Path("inks"));
    SaveGrayPng(Path("inks/a.png"), ThreeRegionPage());
    SaveGrayPng(Path("inks/b.png"), ThreeRegionPage());
    WriteBytes(Path("inks/b-map.png"), "someone's map");
    // Beside the pages: b's map is there already, and it is no page.
    SToolRun run = RunTool({"autoflat", "-q", Path("inks"), "--regions", "each"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(Path("inks/b-map.png") + " already exists (--overwrite replaces it)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(Path("inks/b-map.png")), "someone's map");
    EXPECT_EQ(Listing("inks"), (std::vector<std::string>{"a-flats.png", "a-map.gpl", "a-map.png", "a.png",
                                                         "b-map.png", "b.png"}));

    // A page named as another's map is that page's input, even with --overwrite.
    SaveGrayPng(Path("x.png"), ThreeRegionPage());
    SaveGrayPng(Path("x-map.png"), ThreeRegionPage());
    const std::string before = ReadBytes(Path("x-map.png"));
    run = RunTool({"autoflat", "-q", Path("x.png"), Path("x-map.png"), "--regions", "each", "--overwrite"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(
        run.err.find(Path("x.png") + ": the region map " + Path("x-map.png") + " is an input of this run"),
        std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(Path("x-map.png")), before);
    EXPECT_FALSE(fs::exists(Path("x-flats.png")));
}

}  // namespace
