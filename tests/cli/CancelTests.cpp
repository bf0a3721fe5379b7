// Ctrl-C while a page is being flatted: the plug-in's abort test says
// stop, the run ends after the current strip, and nothing is written.
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

namespace fs = std::filesystem;

using Cancel = ToolTest;

// Black everywhere but a red first column: every pixel searches as far as
// its distance from that column, so a strip takes a fraction of a second
// and the whole page minutes, far longer than a cancel may take.
constexpr int kSlowWidth = 400, kSlowHeight = 32000;
constexpr int kCancelSeconds = 20;

SPicture SlowPage() {
    SPicture page{kSlowWidth, kSlowHeight, 3, std::vector<uint8_t>(size_t(kSlowWidth) * kSlowHeight * 3, 0)};
    for (int y = 0; y < page.height; ++y) page.At(0, y, 0) = 255;
    return page;
}

TEST_F(Cancel, CtrlCLeavesNoOutputAndExits130InEitherPass) {
    SavePng(Path("slow.png"), SlowPage());
    // One processor: the pass in the calling thread; two: worker threads.
    for (const char* processors : {"VANDREL_PROCESSORS=1", "VANDREL_PROCESSORS=2"}) {
        CToolChild tool({"flat", Path("slow.png"), "-o", Path("out.png")}, {.env = {processors}});
        ASSERT_TRUE(tool.WaitForError("flatting 400 x 32000 pixels", 60)) << processors;
        tool.Signal(SIGINT);
        // A tool that did not answer the abort test is killed here and fails.
        const SToolRun run = tool.Wait(kCancelSeconds);
        EXPECT_EQ(run.status, 130) << processors << ": " << run.err;
        EXPECT_NE(run.err.find("interrupted; " + Path("slow.png") + " was not written"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Listing(), std::vector<std::string>{"slow.png"}) << processors;
    }
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writing a large page takes far longer than its pass: a Ctrl-C while it is
// under way is heeded within a few rows or a chunk, not once the file is
// complete.
// The stage is timed in a run left alone first, so that a busy machine
// slows the measure and the run measured alike.
TEST_F(Cancel, CtrlCWhileAPageIsWrittenStopsAtOnce) {
    WriteBytes(Path("big.png"), PngFile(NoisyPage(4000, 4000, 3)));
    const std::vector<std::string> command{"flat", Path("big.png"), "-o", Path("out.png")};
    double writing = 0;
    {
        CToolChild tool(command);
        // The progress says when the writing starts, which is most of the rest.
        ASSERT_TRUE(tool.WaitForError(": writing\n", 120));
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(tool.Wait().status, 0);
        writing = SecondsSince(start);
        std::filesystem::remove(Path("out.png"));
    }
    // Writing runs from 75% of the page to 100%: at 80% it is well under
    // way, however fast or slow the machine is today.
    CToolChild tool(command);
    ASSERT_TRUE(tool.WaitForError(": writing\n", 120));
    ASSERT_TRUE(tool.WaitForError(": 80%\n", 120));
    const Clock::time_point start = Clock::now();
    tool.Signal(SIGINT);
    const SToolRun run = tool.Wait(120);
    const double took = SecondsSince(start);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_LT(took, writing / 4) << "writing takes " << writing << " s, and Ctrl-C " << took << " s";
    EXPECT_EQ(Listing(), std::vector<std::string>{"big.png"});
}

// Under nohup, or in a script's background job, the shell has the tool
// ignore some signals: they must stay ignored, and the others still stop
// it. Sent while the first of two pages is flatted, a heeded signal would
// keep the second from starting.
TEST_F(Cancel, SignalsIgnoredAtStartStayIgnored) {
    SavePng(Path("a.png"), SlowPage());
    std::filesystem::copy_file(Path("a.png"), Path("b.png"));
    CToolChild tool({"flat", Path("a.png"), Path("b.png"), "--out-dir", Path("out")},
                    {.ignoredSignals = {SIGHUP, SIGINT}});
    ASSERT_TRUE(tool.WaitForError("a.png: flatting", 60));
    tool.Signal(SIGHUP);
    tool.Signal(SIGINT);
    EXPECT_TRUE(tool.WaitForError("b.png: flatting", 60)) << "an ignored signal stopped the run";
    tool.Signal(SIGTERM);
    const SToolRun run = tool.Wait(kCancelSeconds);
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
    EXPECT_EQ(Listing("out"), std::vector<std::string>{"a.png"});
}

// In a batch the page before is being written while the next is flatted:
// Ctrl-C then leaves that page whole or not at all, never a temporary file,
// and stdout names exactly the files that are there.
TEST_F(Cancel, CtrlCInABatchLeavesOnlyWholeOutputs) {
    fs::create_directory(Path("in"));
    SavePng(Path("in/a.png"), Picture({"r#b"}, kRgb));
    SavePng(Path("in/slow.png"), SlowPage());
    SavePng(Path("in/c.png"), Picture({"r#b"}, kRgb));
    CToolChild tool(
        {"flat", Path("in/a.png"), Path("in/slow.png"), Path("in/c.png"), "--out-dir", Path("out")});
    ASSERT_TRUE(tool.WaitForError("flatting 400 x 32000 pixels", 60));
    tool.Signal(SIGINT);
    const SToolRun run = tool.Wait(kCancelSeconds);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_NE(run.err.find("interrupted; " + Path("in/slow.png") + " was not written"), std::string::npos)
        << run.err;
    std::string listed;
    for (const auto& entry : fs::directory_iterator(Path("out"))) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name, "a.png") << "only the page before may be there, and whole";
        if (name == "a.png") {
            EXPECT_EQ(LoadPng(entry.path().string()), Picture({"rbb"}, kRgb));
        }
        listed += entry.path().string() + "\n";
    }
    EXPECT_EQ(run.out, listed);
}

// A second signal right after a page is put in place (an old one replaced,
// under --overwrite) ends the run at once: stdout still names that page,
// and the last words do not claim that nothing was written.
TEST_F(Cancel, ASecondSignalRightAfterAPageIsInPlaceStillListsIt) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' runtime must be the first library loaded";
    SavePng(Path("a.png"), Picture({"r#b"}, kRgb));
    SavePng(Path("b.png"), Picture({"b#r"}, kRgb));
    SavePng(Path("old.png"), Picture({"y"}, kRgb));
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"flat", Path("a.png"), "-o", Path("old.png"), "--overwrite"}, Path("old.png")},
        {{"flat", Path("a.png"), Path("b.png"), "--out-dir", Path("out")}, Path("out/a.png")},
    };
    for (const auto& [args, output] : runs) {
        const SToolRun run =
            RunTool(args, {.env = {FaultShimPreload(), "VANDREL_FAULT_SIGNAL_AFTER_RENAME=" + output}});
        EXPECT_TRUE(run.status == 128 + SIGINT || run.status == 128 + SIGTERM)
            << output << ": " << run.status;
        ASSERT_EQ(LoadPng(output), Picture({"rbb"}, kRgb)) << output;
        EXPECT_EQ(run.out, output + "\n") << output << ": " << run.err;
        EXPECT_EQ(run.err.find("nothing written"), std::string::npos) << output << ": " << run.err;
    }
    EXPECT_FALSE(fs::exists(Path("out/b.png")));
}

}  // namespace
