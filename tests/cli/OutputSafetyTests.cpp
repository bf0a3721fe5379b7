// What the tool promises about files: outputs appear whole or not at all,
// nothing is replaced without --overwrite, the input is never touched,
// and a batch goes on past a bad page.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/ToolTest.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using OutputSafety = ToolTest;

TEST_F(OutputSafety, AnExistingOutputIsReplacedOnlyWithOverwrite) {
    SavePng(Path("page.png"), Picture({"r#b"}, kRgb));
    WriteBytes(Path("out.png"), "someone's work");
    ::chmod(Path("out.png").c_str(), 0600);

    SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path("out.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(Path("out.png") + " already exists (--overwrite replaces it)"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadBytes(Path("out.png")), "someone's work");

    run = RunTool({"flat", Path("page.png"), "-o", Path("out.png"), "--overwrite"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LoadPng(Path("out.png")), Picture({"rbb"}, kRgb));  // a tie goes to the right
    EXPECT_EQ(fs::status(Path("out.png")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"out.png", "page.png"}));
}

TEST_F(OutputSafety, ANewOutputGetsTheUsualModeForNewFiles) {
    SavePng(Path("page.png"), Picture({"r#b"}, kRgb));
    const mode_t previous = ::umask(027);
    const SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path("out.png")});
    ::umask(previous);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::status(Path("out.png")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(OutputSafety, TheInputIsNeverTheOutputUnderAnyName) {
    SavePng(Path("page.png"), Picture({"r#b"}, kRgb));
    const std::string original = ReadBytes(Path("page.png"));
    fs::create_symlink(Path("page.png"), Path("alias.png"));
    fs::create_hard_link(Path("page.png"), Path("twin.png"));
    fs::create_directory(Path("sub"));
    for (const std::string& output :
         {Path("page.png"), Path("alias.png"), Path("twin.png"), Path("sub/../page.png")}) {
        const SToolRun run = RunTool({"flat", Path("page.png"), "-o", output, "--overwrite"});
        EXPECT_EQ(run.status, 1) << output;
        EXPECT_NE(run.err.find("is the input itself"), std::string::npos) << output << ": " << run.err;
    }
    EXPECT_EQ(ReadBytes(Path("page.png")), original);
    EXPECT_TRUE(fs::is_symlink(Path("alias.png")));
    EXPECT_EQ(fs::hard_link_count(Path("page.png")), 2u);
}

TEST_F(OutputSafety, ABatchGoesOnPastBadPagesAndCountsThem) {
    fs::create_directory(Path("in"));
    SavePng(Path("in/a.png"), Picture({"r#b"}, kRgb));
    WriteBytes(Path("in/b.png"), "not an image");
    SaveTiff(Path("in/c.tif"), Picture({"#b"}, kRgb));
    WriteBytes(Path("in/d.tif"), "not an image either");
    const std::string inputs[] = {Path("in/a.png"), Path("in/b.png"), Path("in/c.tif"), Path("in/d.tif")};

    // The output folder is made when missing; outputs keep their inputs' names.
    const SToolRun run =
        RunTool({"flat", inputs[0], inputs[1], inputs[2], inputs[3], "--out-dir", Path("out/new")});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.out, Path("out/new/a.png") + "\n" + Path("out/new/c.tif") + "\n");
    EXPECT_NE(run.err.find("vandrel: " + inputs[1] + ": not a PNG or TIFF image"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("vandrel: " + inputs[3] + ": not a PNG or TIFF image"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("2 of 4 pages failed"), std::string::npos) << run.err;
    EXPECT_EQ(LoadPng(Path("out/new/a.png")), Picture({"rbb"}, kRgb));
    EXPECT_EQ(LoadTiff(Path("out/new/c.tif")), Picture({"bb"}, kRgb));
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("out/new")), fs::directory_iterator{}), 2);
}

TEST_F(OutputSafety, TwoInputsOfOneNameDoNotShareAnOutput) {
    fs::create_directories(Path("one"));
    fs::create_directories(Path("two"));
    SavePng(Path("one/page.png"), Picture({"r#"}, kRgb));
    SavePng(Path("two/page.png"), Picture({"b#"}, kRgb));
    const SToolRun run = RunTool(
        {"flat", Path("one/page.png"), Path("two/page.png"), "--out-dir", Path("out"), "--overwrite"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is already the output of " + Path("one/page.png")), std::string::npos) << run.err;
    EXPECT_EQ(LoadPng(Path("out/page.png")), Picture({"rr"}, kRgb));
}

}  // namespace

namespace {

// Each output is checked against every input of the run, under any name,
// before anything is written: here the first page's output would replace
// the second page before it is read.
TEST_F(OutputSafety, NoOutputOfABatchIsAnyOfItsInputs) {
    fs::create_directories(Path("raw"));
    fs::create_directories(Path("flatted"));
    SavePng(Path("raw/p.png"), Picture({"r#"}, kRgb));
    SavePng(Path("flatted/p.png"), Picture({"#b"}, kRgb));
    fs::create_hard_link(Path("flatted/p.png"), Path("twin.png"));
    const std::string before = ReadBytes(Path("flatted/p.png"));
    for (const std::string& second :
         {Path("flatted/p.png"), Path("twin.png"), Path("raw/../flatted/p.png")}) {
        const SToolRun run =
            RunTool({"flat", Path("raw/p.png"), second, "--out-dir", Path("flatted"), "--overwrite"});
        EXPECT_NE(run.status, 0) << second;
        EXPECT_NE(run.err.find(Path("raw/p.png") + ": the output " + Path("flatted/p.png") +
                               " is an input of this run (" + second + ")"),
                  std::string::npos)
            << second << ": " << run.err;
        EXPECT_EQ(ReadBytes(Path("flatted/p.png")), before) << second;
    }
}

// Checked once, before the first page is read: a folder nothing can be
// written to stops the run as a whole.
TEST_F(OutputSafety, AnOutputFolderThatCannotTakeAFileStopsTheRunBeforeThePages) {
    SavePng(Path("a.png"), Picture({"r#"}, kRgb));
    SavePng(Path("b.png"), Picture({"#b"}, kRgb));
    fs::create_directory(Path("locked"));
    fs::permissions(Path("locked"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    // Root writes in any folder; another user does not.
    const SToolSetup user{.asNobody = ::geteuid() == 0};
    for (const std::vector<std::string>& where :
         {std::vector<std::string>{"--out-dir", Path("locked")}, {"--out-dir", Path("locked/new")}}) {
        std::vector<std::string> command{"flat", Path("a.png"), Path("b.png")};
        command.insert(command.end(), where.begin(), where.end());
        const SToolRun run = RunTool(command, user);
        EXPECT_EQ(run.status, 69) << run.err;
        EXPECT_NE(run.err.find("vandrel: cannot use the folder " + where[1]), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("flatting"), std::string::npos) << "a page was flatted first: " << run.err;
    }
    const SToolRun run = RunTool({"flat", Path("a.png"), "-o", Path("locked/a.png")}, user);
    EXPECT_EQ(run.status, 69) << run.err;
    EXPECT_TRUE(fs::is_empty(Path("locked")));
}

TEST_F(OutputSafety, AFolderMadeForABatchInWhichEveryPageFailedIsRemovedAgain) {
    WriteBytes(Path("bad.png"), "not an image");
    fs::create_directory(Path("kept"));
    const SToolRun run = RunTool({"flat", Path("bad.png"), "--out-dir", Path("kept/new/deeper/")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Listing(), (std::vector<std::string>{"bad.png", "kept"}));
    EXPECT_TRUE(fs::is_empty(Path("kept")));
}

// The longest names a file system takes: the temporary file beside the
// output must fit the same limit.
TEST_F(OutputSafety, OutputNamesUpToTheLongestAllowedAreWritten) {
    SavePng(Path("page.png"), Picture({"r#b"}, kRgb));
    std::string accented(180, 'z');
    for (int i = 0; i < 30; ++i) accented += "\xc3\xa9";  // two bytes each, cut where the name is shortened
    for (const std::string& name :
         {std::string(236, 'x') + ".png", std::string(251, 'y') + ".png", accented + ".png"}) {
        const SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path(name)});
        EXPECT_EQ(run.status, 0) << name.size() << " bytes: " << run.err;
        EXPECT_EQ(LoadPng(Path(name)), Picture({"rbb"}, kRgb)) << name.size() << " bytes";
        fs::remove(Path(name));
        EXPECT_EQ(Listing(), std::vector<std::string>{"page.png"});
    }
}

}  // namespace
