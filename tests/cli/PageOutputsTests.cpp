// The outputs of a page are never one of its inputs, under whatever name
// either goes by, and they appear together or not at all: a second
// signal at any moment of putting them in place leaves all of them, each
// listed, or none, and never a temporary file.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using PageOutputs = ToolTest;

// The tool run from `folder`, so that names relative to it are as a user types them.
SToolRun RunIn(const fs::path& folder, const std::vector<std::string>& args) {
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    const SToolRun run = RunTool(args);
    fs::current_path(before);
    return run;
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(PageOutputs, NoInputIsEverAnOutputNotEvenWithOverwrite) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    const std::string palette = "GIMP Palette\n200 30 30\n30 200 30\n30 30 200\n";
    WriteBytes(Path("studio.gpl"), palette);
    // The map's palette would be the user's palette.
    SToolRun run = RunTool({"autoflat", Path("page.png"), "-o", Path("flats.png"), "--palette",
                            Path("studio.gpl"), "--regions", Path("studio.png"), "--overwrite"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, "the region palette " + Path("studio.gpl") + " is the palette")) << run.err;
    EXPECT_EQ(ReadBytes(Path("studio.gpl")), palette);
    EXPECT_FALSE(fs::exists(Path("flats.png")));
    EXPECT_FALSE(fs::exists(Path("studio.png")));

    // The flats would be the palette, whatever its name says.
    WriteBytes(Path("p.png"), palette);
    run = RunTool(
        {"autoflat", Path("page.png"), "-o", Path("p.png"), "--palette", Path("p.png"), "--overwrite"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, "the output " + Path("p.png") + " is the palette")) << run.err;
    EXPECT_EQ(ReadBytes(Path("p.png")), palette);

    // The map would be the hints page: called that, not the input.
    SaveGrayPng(Path("hints.png"), ThreeRegionPage());
    const std::string hints = ReadBytes(Path("hints.png"));
    run = RunTool({"autoflat", Path("page.png"), "--hints", Path("hints.png"), "--regions", Path("hints.png"),
                   "-o", Path("other.png"), "--overwrite"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, "the region map " + Path("hints.png") + " is the hints page")) << run.err;
    EXPECT_FALSE(Holds(run.err, "the input itself")) << run.err;
    EXPECT_EQ(ReadBytes(Path("hints.png")), hints);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"hints.png", "p.png", "page.png", "studio.gpl"}));
}

// A name not there yet, relative or through "./" or "..", is the same
// file as any other way of writing it.
TEST_F(PageOutputs, OneFileUnderTwoNamesIsOneOutput) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    fs::create_directory(Path("sub"));
    for (const std::string& map : {std::string("./o.png"), std::string("sub/../o.png"), Path("o.png")})
        for (const bool overwrite : {false, true}) {
            std::vector<std::string> args = {"autoflat", "page.png", "-o", "o.png", "--regions", map};
            if (overwrite) args.push_back("--overwrite");
            const SToolRun run = RunIn(folder_, args);
            EXPECT_EQ(run.status, 64) << map << ": " << run.err;
            EXPECT_TRUE(Holds(run.err, "the region map and the output cannot be the same file"))
                << map << ": " << run.err;
            EXPECT_EQ(run.out, "") << map;
            EXPECT_EQ(Listing(), (std::vector<std::string>{"page.png", "sub"})) << map;
        }
}

// A second signal just after the first output is put in place, or just as
// the last is flushed: all three are there and listed, or none is.
TEST_F(PageOutputs, ASecondSignalLeavesAllOfAPagesOutputsOrNone) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' runtime must be the first library loaded";
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    const std::vector<std::string> args = {"autoflat",        Path("page.png"), "-o",
                                           Path("flats.png"), "--regions",      Path("map.png")};
    SToolRun run = RunTool(args, {.env = {FaultShimPreload(), "VANDREL_FAULT_SIGNAL_AFTER_RENAME=map.png"}});
    EXPECT_TRUE(run.status == 128 + SIGINT || run.status == 128 + SIGTERM) << run.status << ": " << run.err;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"flats.png", "map.gpl", "map.png", "page.png"}));
    EXPECT_EQ(run.out, Path("flats.png") + "\n" + Path("map.png") + "\n" + Path("map.gpl") + "\n");
    EXPECT_FALSE(Holds(run.err, "nothing written")) << run.err;
    for (const char* name : {"flats.png", "map.png", "map.gpl"}) fs::remove(Path(name));

    for (const int flushed : {1, 2, 3}) {
        run = RunTool(
            args, {.env = {FaultShimPreload(), "VANDREL_FAULT_SIGNAL_AT_FSYNC=" + std::to_string(flushed)}});
        EXPECT_TRUE(run.status == 128 + SIGINT || run.status == 128 + SIGTERM) << flushed << ": " << run.err;
        EXPECT_EQ(Listing(), std::vector<std::string>{"page.png"}) << flushed;
        EXPECT_EQ(run.out, "") << flushed;
    }
}

}  // namespace
