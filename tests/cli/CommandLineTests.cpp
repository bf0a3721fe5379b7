// The command line as users meet it: help, version, refused commands,
// what reaches the plug-in, and what is shown while it works.
#include <filesystem>

#include "tests/support/ToolTest.h"
#include "ui/Prefs.h"
#include "ui/VandrelParams.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using CommandLine = ToolTest;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(CommandLine, HelpAndVersionSucceedOnStdout) {
    SToolRun run = RunTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "flat")) << run.out;
    run = RunTool({"flat", "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option :
         {"--out-dir", "--depth", "--white", "--overwrite", "--plugin", "--use-prefs", "Exit status"})
        EXPECT_TRUE(Has(run.out, option)) << option;
    run = RunTool({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "vandrel 2.1.0 (Vandrel Pro v2.1")) << run.out;
}

TEST_F(CommandLine, UsageErrorsExit64AndWriteNothing) {
    SavePng(Path("a.png"), Picture({"r#"}, kRgb));
    const std::string a = Path("a.png"), out = Path("out.png");
    const std::vector<std::vector<std::string>> commands = {
        {},
        {"flat", a},
        {"flatten", a, "-o", out},
        {"flat", a, a, "-o", out},
        {"flat", a, "-o", out, "--out-dir", Path("dir")},
        {"flat", a, "-o", Path("out.jpg")},
        {"flat", a, "-o", out, "--depth", "65536"},
        {"flat", a, "-o", out, "--depth", "-1"},
        {"flat", a, "-o", out, "--depth", "deep"},
        {"flat", a, "-o", out, "--colour"},
    };
    for (const auto& command : commands) {
        const SToolRun run = RunTool(command);
        EXPECT_EQ(run.status, 64) << ::testing::PrintToString(command);
        EXPECT_TRUE(Has(run.err, "vandrel: ")) << run.err;
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.png"});
}

TEST_F(CommandLine, AMissingPluginStopsBeforeAnyPage) {
    SavePng(Path("a.png"), Picture({"r#"}, kRgb));
    const SToolRun run = RunTool({"flat", Path("a.png"), "-o", Path("out.png"), "--plugin", Path("none.so")});
    EXPECT_EQ(run.status, 69);
    EXPECT_TRUE(Has(run.err, "cannot load the plug-in")) << run.err;
    EXPECT_FALSE(fs::exists(Path("out.png")));
}

// An all-black page 20 pixels square: within a depth of 10 every search
// ends without a colour, so paint-white shows; with the default depth the
// searches leave the page first and every pixel stays black.
TEST_F(CommandLine, DepthAndPaintWhiteReachThePlugin) {
    const SPicture black{20, 20, 3, std::vector<uint8_t>(1200, 0)};
    const SPicture white{20, 20, 3, std::vector<uint8_t>(1200, 255)};
    SavePng(Path("black.png"), black);
    struct SCase {
        std::vector<std::string> options;
        const SPicture& expected;
    };
    for (const SCase& c : {SCase{{"--depth", "10", "--white"}, white}, SCase{{"--white"}, black},
                           SCase{{"--depth", "10"}, black}, SCase{{"--depth", "10", "--no-white"}, black}}) {
        std::vector<std::string> command{"flat", Path("black.png"), "-o", Path("out.png"), "--overwrite"};
        command.insert(command.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(RunTool(command).status, 0);
        EXPECT_EQ(LoadPng(Path("out.png")), c.expected) << ::testing::PrintToString(c.options);
    }
}

TEST_F(CommandLine, ThePreferencesFileIsReadOnlyWhenAskedAndNeverWritten) {
    const SPicture black{20, 20, 3, std::vector<uint8_t>(1200, 0)};
    SavePng(Path("black.png"), black);
    fs::create_directory(Path("prefs"));
    CVandrelParams remembered;
    remembered.maxDepth = 10;
    remembered.remainder = kPaintWhite;
    SavePrefsFile(Path("prefs/") + kPrefsFileName, remembered);
    const std::string prefsBefore = ReadBytes(Path("prefs/") + kPrefsFileName);
    const SToolSetup env{.env = {"VANDREL_PREFS_DIR=" + Path("prefs")}};
    auto flat = [&](std::vector<std::string> options) {
        std::vector<std::string> command{"flat", Path("black.png"), "-o", Path("out.png"), "--overwrite"};
        command.insert(command.end(), options.begin(), options.end());
        EXPECT_EQ(RunTool(command, env).status, 0);
        return LoadPng(Path("out.png")) == black ? "black" : "changed";
    };
    EXPECT_STREQ(flat({}), "black");
    EXPECT_STREQ(flat({"--use-prefs"}), "changed");  // depth 10 and white, from the file
    EXPECT_STREQ(flat({"--use-prefs", "--no-white"}), "black");
    EXPECT_STREQ(flat({"--use-prefs", "--depth", "256"}), "black");
    EXPECT_EQ(ReadBytes(Path("prefs/") + kPrefsFileName), prefsBefore);

    // With the user's real folders in play, the tool leaves no file there
    // (the plug-in would at least make the folder it reads from).
    fs::create_directory(Path("home"));
    const SToolRun run = RunTool({"flat", Path("black.png"), "-o", Path("plain.png")},
                                 {.env = {"HOME=" + Path("home"), "-XDG_CONFIG_HOME", "-VANDREL_PREFS_DIR"}});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_empty(Path("home")));
}

TEST_F(CommandLine, ProgressIsPlainLinesInALogAndABarOnATerminal) {
    SavePng(Path("page.png"), Picture({"r#b", "###"}, kRgb));
    SToolRun run = RunTool({"flat", Path("page.png"), "-o", Path("log.png")});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Path("log.png") + "\n");  // stdout: only the path, for scripts
    EXPECT_TRUE(Has(run.err, Path("page.png") + ": flatting 3 x 2 pixels\n")) << run.err;
    EXPECT_TRUE(Has(run.err, Path("page.png") + ": 100%\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "MP/s)\n")) << run.err;
    EXPECT_FALSE(Has(run.err, "\r"));

    run = RunTool({"flat", Path("page.png"), "-o", Path("quiet.png"), "--quiet"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");

    run = RunToolOnTerminal({"flat", Path("page.png"), "-o", Path("tty.png")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "[##############################] 100%")) << run.out;
    EXPECT_TRUE(Has(run.out, "\r\033[K")) << run.out;  // the bar is wiped before the summary
    EXPECT_TRUE(Has(run.out, "MP/s)")) << run.out;
}

}  // namespace
