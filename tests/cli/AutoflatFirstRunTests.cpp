// Auto flats meet a first run as flats do: a page with no more than its
// name, a folder of line art, and the options that hold for one page only
// refused when a folder turns out to hold several.
#include <filesystem>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using AutoflatFirstRun = ToolTest;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(AutoflatFirstRun, AResultGoesBesideItsPageNamedApartFromFlats) {
    SaveGrayPng(Path("ink.png"), ThreeRegionPage());
    SToolRun run = RunTool({"autoflat", "-q", Path("ink.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("ink-flats.png") + "\n");
    ASSERT_EQ(RunTool({"autoflat", "-q", Path("ink.png"), "-o", Path("named.png")}).status, 0);
    EXPECT_EQ(LoadPng(Path("ink-flats.png")), LoadPng(Path("named.png")));

    run = RunTool({"autoflat", "-q", Path("ink.png"), "--suffix", "_v2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(Path("ink_v2.png")));

    run = RunTool({"autoflat", "-q", Path("ink.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "already exists")) << run.err;
}

// An earlier run's results beside the line art are not line art.
TEST_F(AutoflatFirstRun, AFolderStandsForItsLineArtWithoutEarlierResults) {
    fs::create_directory(Path("inks"));
    SaveGrayPng(Path("inks/b.png"), ThreeRegionPage());
    SaveGrayPng(Path("inks/a.png"), ThreeRegionPage());
    SaveGrayPng(Path("inks/old-flats.png"), ThreeRegionPage());
    const SToolRun run = RunTool({"autoflat", Path("inks")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("inks/a-flats.png") + "\n" + Path("inks/b-flats.png") + "\n");
    EXPECT_TRUE(Has(run.err, "page 2 of 2: ")) << run.err;
    EXPECT_EQ(Listing("inks"),
              (std::vector<std::string>{"a-flats.png", "a.png", "b-flats.png", "b.png", "old-flats.png"}));
}

TEST_F(AutoflatFirstRun, OnePageOptionsRefuseAFolderOfSeveral) {
    fs::create_directory(Path("inks"));
    SaveGrayPng(Path("inks/a.png"), ThreeRegionPage());
    SaveGrayPng(Path("inks/b.png"), ThreeRegionPage());
    SaveGrayPng(Path("hints.png"), ThreeRegionPage());
    for (const auto& [extra, reason] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--hints", Path("hints.png")}, "--hints goes with one input"},
             {{"--regions", Path("map.png")}, "--regions writes one map"},
             {{"-o", Path("one.png")}, "-o takes one page"}}) {
        std::vector<std::string> args = {"autoflat", Path("inks")};
        args.insert(args.end(), extra.begin(), extra.end());
        const SToolRun run = RunTool(args);
        EXPECT_EQ(run.status, 64) << reason << ": " << run.err;
        EXPECT_EQ(run.err.rfind("vandrel: " + reason, 0), 0u) << run.err;
    }
    EXPECT_EQ(Listing("inks"), (std::vector<std::string>{"a.png", "b.png"}));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"hints.png", "inks"}));
}

}  // namespace
