// The command line as users meet it: help, version, refused commands,
// what reaches the plug-in, and what is shown while it works.
#include <filesystem>

#include "tests/support/ToolTest.h"
#include "params/Prefs.h"
#include "params/VandrelParams.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using CommandLine = ToolTest;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Appended rather than `"\"" + name`: GCC 12 at -O2 misreads the inserting
// operator+ as an overlapping copy (-Wrestrict).
std::string InQuotes(const std::string& name) {
    std::string quoted(1, '"');
    quoted += name;
    quoted += '"';
    return quoted;
}

bool ValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

TEST_F(CommandLine, HelpAndVersionSucceedOnStdout) {
    SToolRun run = RunTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "flat")) << run.out;
    run = RunTool({"flat", "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option :
         {"--out-dir", "--depth", "--white", "--overwrite", "--plugin", "--use-prefs", "EXIT STATUS"})
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
        {"flat"},
        {"flatten", a, "-o", out},
        {a},
        {"flat", a, "--suffix", "x/y"},
        {"flat", a, "--suffix", ""},
        {"flat", a, "-o", out, "--suffix", "-x"},
        {"flat", a, a, "-o", out},
        {"flat", a, "-o", out, "--out-dir", Path("dir")},
        {"flat", a, "-o", Path("out.jpg")},
        {"flat", a, "-o", out, "--depth", "65536"},
        {"flat", a, "-o", out, "--depth", "-1"},
        {"flat", a, "-o", out, "--depth", "deep"},
        {"flat", a, "-o", out, "--colour"},
        {"flat", a, "-o", out, "--depth", "0x0e"},
        {"flat", a, "-o", out, "--depth", "1e2"},
        {"flat", a, "-o", out, "--white", "--no-white"},
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

// A depth is read as people write it: 020 is twenty, not sixteen.
TEST_F(CommandLine, TheDepthIsADecimalNumberWhateverItsLeadingZeros) {
    // A red column, then black: with paint-white, how far the red reaches
    // in the middle rows (far from the border, where searches give up) is
    // the depth.
    SavePng(Path("row.png"), Picture(std::vector<std::string>(60, "r" + std::string(40, '#')), kRgb));
    auto flat = [&](const std::string& depth) {
        const SToolRun run = RunTool(
            {"flat", Path("row.png"), "-o", Path("out.png"), "--overwrite", "--white", "--depth", depth});
        EXPECT_EQ(run.status, 0) << depth << ": " << run.err;
        return LoadPng(Path("out.png"));
    };
    const SPicture twenty = flat("20"), sixteen = flat("16");
    ASSERT_NE(twenty, sixteen) << "the page does not tell the two depths apart";
    EXPECT_EQ(flat("020"), twenty);
    EXPECT_EQ(flat("0020"), twenty);
    EXPECT_EQ(flat("08"), flat("8"));
    EXPECT_EQ(flat("000"), flat("0"));
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

    // A long name is shortened for the bar, whole characters only.
    std::string accented;
    for (int i = 0; i < 40; ++i) accented += "\xc3\xa9";
    fs::copy_file(Path("page.png"), Path(accented + ".png"));
    run = RunToolOnTerminal({"flat", Path(accented + ".png"), "-o", Path("accented.png")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "...")) << run.out;
    EXPECT_TRUE(ValidUtf8(run.out)) << run.out;

    // In a batch the bar keeps the page's place, however long its name.
    run = RunToolOnTerminal({"flat", Path("page.png"), Path(accented + ".png"), "--out-dir", Path("batch")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, "\rpage 2 of 2: ...")) << run.out;
}

// stdout lists the files written, one a line, for scripts: a reader that
// goes away, or a full disk, costs that list, never the pages.
TEST_F(CommandLine, AFailingStdoutCostsTheListNotThePages) {
    const std::vector<std::string> pages = {Path("a.png"), Path("b.png"), Path("c.png")};
    for (const std::string& page : pages) SavePng(page, Picture({"r#b"}, kRgb));
    for (const std::string stdoutTo : {"closed", "/dev/full"}) {
        const std::string out = Path("out" + std::to_string(stdoutTo.size()));
        std::vector<std::string> command{"flat", "--out-dir", out};
        command.insert(command.end(), pages.begin(), pages.end());
        const SToolRun run = RunTool(command, {.stdoutTo = stdoutTo});
        EXPECT_EQ(run.status, 74) << stdoutTo << ": " << run.err;
        size_t reports = 0;
        for (size_t at = run.err.find("cannot write to stdout"); at != std::string::npos;
             at = run.err.find("cannot write to stdout", at + 1))
            ++reports;
        EXPECT_EQ(reports, 1u) << stdoutTo << ": " << run.err;
        for (const char* name : {"a.png", "b.png", "c.png"})
            EXPECT_EQ(LoadPng(out + "/" + name), Picture({"rbb"}, kRgb)) << stdoutTo << ": " << name;
    }
}

// A line break in a name would make one file two lines of the list, and
// a message two lines: such a name is quoted.
TEST_F(CommandLine, ANameWithALineBreakStaysOnOneLine) {
    SavePng(Path("two\nlines.png"), Picture({"r#b"}, kRgb));
    SToolRun run = RunTool({"flat", Path("two\nlines.png"), "--out-dir", Path("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, InQuotes(Path("out") + "/two\\nlines.png") + "\n");
    EXPECT_TRUE(Has(run.err, InQuotes(Path("two\\nlines.png")) + ": flatting 3 x 1 pixels\n")) << run.err;
    EXPECT_FALSE(Has(run.err, "two\nlines")) << run.err;
    EXPECT_EQ(LoadPng(Path("out/two\nlines.png")), Picture({"rbb"}, kRgb));
}

}  // namespace

// A batch follows several pages at once: its lines name them as a single
// page's do, so a name cannot colour the terminal or split a line.
TEST_F(CommandLine, BatchLinesQuoteNamesWithControlCharacters) {
    const std::string escape = "red\x1b[31m.png", broken = "two\nlines.png";
    SavePng(Path(escape), Picture({"r#b"}, kRgb));
    SavePng(Path(broken), Picture({"r#b"}, kRgb));
    const SToolRun run = RunTool({"flat", Path(escape), Path(broken), "--out-dir", Path("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(Has(run.err, "\x1b")) << run.err;
    EXPECT_FALSE(Has(run.err, "two\nlines")) << run.err;
    EXPECT_TRUE(Has(run.err, InQuotes(Path("red\\x1b[31m.png")))) << run.err;
    EXPECT_TRUE(
        Has(run.err, "page 2 of 2: " + InQuotes(Path("two\\nlines.png")) + ": flatting 3 x 1 pixels\n"))
        << run.err;
}

// Every message is one line, "vandrel: " then lower case, with names
// quoted as the list of paths quotes them; the parser's own phrasing does
// not show through.
TEST_F(CommandLine, MessagesShareOneStyle) {
    SavePng(Path("a.png"), Picture({"r#"}, kRgb));
    WriteBytes(Path("not\na folder"), "a file");
    const std::string a = Path("a.png");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"flat", a, "--colour"}, "vandrel: unknown option or argument: --colour\n"},
        {{"flat", a, "--white", "--no-white"}, "vandrel: --white and --no-white cannot go together\n"},
        {{"flat", a, "--depth", "70000"},
         "vandrel: --depth: takes a whole number from 0 to 65535, not 70000\n"},
        {{"flat", a, "--out-dir", Path("not\na folder")},
         "vandrel: cannot use the folder " + InQuotes(Path("not\\na folder")) + ": "},
    };
    for (const auto& [command, first] : cases) {
        const SToolRun run = RunTool(command);
        EXPECT_NE(run.status, 0);
        EXPECT_EQ(run.err.substr(0, first.size()), first) << ::testing::PrintToString(command);
    }
}
