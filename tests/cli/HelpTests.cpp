// The help is the manual page's text: what it says cannot drift from the
// installed page, and it speaks to users, not in the parser's terms.
#include <filesystem>

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

TEST_F(Help, ToolHelpNamesTheCommands) {
    const SToolRun run = RunTool({"--help"});
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run.out, cli::RenderManualSections(cli::kManualPage, {"COMMANDS"}))) << run.out;
    EXPECT_TRUE(Has(run.out, "man vandrel")) << run.out;
}

// Every option the manual lists is one the tool takes (the tool itself
// refuses to start when it takes one the manual does not list).
TEST_F(Help, EveryDocumentedOptionIsTaken) {
    const std::vector<std::string> options = cli::ManualOptions(cli::kManualPage, "FLAT OPTIONS");
    ASSERT_GE(options.size(), 12u);
    SavePng(Path("a.png"), Picture({"r#"}, kRgb));
    for (const std::string& option : options) {
        if (option == "-h" || option == "--help") continue;
        std::vector<std::string> command{"flat", Path("a.png"), option};
        if (option == "-o" || option == "--output") command.push_back(Path("b.png"));
        if (option == "--out-dir") command.push_back(Path("out"));
        if (option == "--suffix") command.push_back("-s");
        if (option == "--depth") command.push_back("9");
        if (option == "--plugin") command.push_back(Path("none.so"));
        const SToolRun run = RunTool(command);
        EXPECT_FALSE(Has(run.err, "unknown option")) << option << ": " << run.err;
        EXPECT_NE(run.status, 64) << option << ": " << run.err;
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
