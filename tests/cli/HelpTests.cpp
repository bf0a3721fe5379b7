// The help is the manual page's text: what it says cannot drift from the
// installed page, and it speaks to users, not in the parser's terms.
#include <filesystem>
#include <map>

#include "cli/ManualText.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using Help = ToolTest;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Help, FlatHelpIsTheManualsSections) {
    const SToolRun run = RunTool({"flat", "--help"});
    ASSERT_EQ(run.status, 0);
    for (const char* section :
         {"FLAT USAGE", "FLAT OPTIONS", "WHAT COUNTS AS BLACK", "WHAT IS REFUSED", "EXIT STATUS"})
        EXPECT_TRUE(Has(run.out, cli::RenderManualSections(cli::kManualPage, {section}))) << section;
    EXPECT_TRUE(Has(run.out, "8 or less")) << run.out;
    for (const char* internal : {"REQUIRED", "INT", "TEXT:", "[0 - 65535]", "\\f", "\\-", ".TP"})
        EXPECT_FALSE(Has(run.out, internal)) << internal;
    for (size_t at = 0, end; at < run.out.size(); at = end + 1) {
        end = run.out.find('\n', at);
        EXPECT_LE(end - at, 80u) << run.out.substr(at, end - at);
    }
}

TEST_F(Help, AutoflatHelpIsTheManualsSections) {
    const SToolRun run = RunTool({"autoflat", "--help"});
    ASSERT_EQ(run.status, 0);
    for (const char* section : {"AUTOFLAT USAGE", "AUTOFLAT OPTIONS", "EXIT STATUS"})
        EXPECT_TRUE(Has(run.out, cli::RenderManualSections(cli::kManualPage, {section}))) << section;
    EXPECT_FALSE(Has(run.out, "\nFLAT ")) << run.out;
    EXPECT_FALSE(Has(run.out, "--depth")) << run.out;
}

TEST_F(Help, ToolHelpNamesTheCommands) {
    const SToolRun run = RunTool({"--help"});
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, cli::RenderManualSections(cli::kManualPage, {"COMMANDS"}))) << run.out;
    EXPECT_TRUE(Has(run.out, "man vandrel")) << run.out;
    EXPECT_TRUE(Has(run.out, "\n  autoflat\n")) << run.out;
}

// Every option the manual lists is one the tool takes (the tool itself
// refuses to start when it takes one the manual does not list).
TEST_F(Help, EveryDocumentedOptionIsTaken) {
    SavePng(Path("a.png"), Picture({"r#"}, kRgb));
    WriteBytes(Path("colours.txt"), "#ff0000\n");
    const std::map<std::string, std::string> values = {{"-o", Path("b.png")},
                                                       {"--output", Path("b.png")},
                                                       {"--out-dir", Path("out")},
                                                       {"--suffix", "-s"},
                                                       {"--depth", "9"},
                                                       {"--plugin", Path("none.so")},
                                                       {"--gap", "3"},
                                                       {"--min-region", "4"},
                                                       {"--threshold", "100"},
                                                       {"--spot-blacks", "lines"},
                                                       {"--hints", Path("a.png")},
                                                       {"--like", Path("a.png")},
                                                       {"--palette", Path("colours.txt")},
                                                       {"--regions", Path("m.png")},
                                                       {"--layers", "psd"}};
    for (const auto& [command, least] : {std::pair<std::string, size_t>{"flat", 12}, {"autoflat", 16}}) {
        const std::vector<std::string> options =
            cli::ManualOptions(cli::kManualPage, command == "flat" ? "FLAT OPTIONS" : "AUTOFLAT OPTIONS");
        ASSERT_GE(options.size(), least) << command;
        for (const std::string& option : options) {
            if (option == "-h" || option == "--help") continue;
            std::vector<std::string> args{command, Path("a.png"), option};
            if (const auto value = values.find(option); value != values.end()) args.push_back(value->second);
            const SToolRun run = RunTool(args);
            EXPECT_FALSE(Has(run.err, "unknown option")) << command << " " << option << ": " << run.err;
            EXPECT_NE(run.status, 64) << command << " " << option << ": " << run.err;
            std::filesystem::remove_all(Path("out"));
            for (const char* result : {"b.png", "m.png", "m.gpl", "a-flat.png", "a-flats.png", "a-s.png",
                                       "a-flat.psd", "a-flats.psd"})
                std::filesystem::remove(Path(result));
        }
    }
}

TEST(ManualText, FontsAndEscapesBecomePlainText) {
    const std::string page =
        ".TH X 1\n.SH ONE\n\\fBbold\\fR and \\fIitalic\\fP, a \\-\\-flag\\(emdash\n.SH TWO\nleft out\n";
    EXPECT_EQ(cli::RenderManualSections(page, {"ONE"}), "ONE\n  bold and italic, a --flag\u2014dash\n");
}

TEST(ManualText, TagsLineUpAndShortOnesShareTheirLine) {
    const std::string page =
        ".SH S\n.TP\n.BI \\-o \" FILE\" \"\\fR, \\fP\\-\\-out \" FILE\nWhere.\n"
        ".TP\n.B 0\nDone.\n";
    EXPECT_EQ(cli::RenderManualSections(page, {"S"}),
              "S\n  -o FILE, --out FILE\n        Where.\n\n  0     Done.\n");
    EXPECT_EQ(cli::ManualOptions(page, "S"), (std::vector<std::string>{"-o", "--out"}));
}

TEST(ManualText, TextIsFilledToTheWidth) {
    const std::string page = ".SH S\none two three four five six\n.PP\nseven\n.br\neight\n";
    EXPECT_EQ(cli::RenderManualSections(page, {"S"}, 16),
              "S\n  one two three\n  four five six\n\n  seven\n  eight\n");
}

}  // namespace
