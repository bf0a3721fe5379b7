// What a first run meets: a page flatted with no more than its name, a
// folder for its pages, a file named where the command belongs, and a
// batch whose lines read in page order.
#include <algorithm>
#include <filesystem>

#include "tests/support/ToolTest.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using FirstRun = ToolTest;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::vector<std::string> kPage = {"r#b"};
const std::vector<std::string> kFlatted = {"rbb"};

TEST_F(FirstRun, AResultGoesBesideItsPageNamedWithASuffix) {
    SavePng(Path("page.png"), Picture(kPage, kRgb));
    SToolRun run = RunTool({"flat", Path("page.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("page-flat.png") + "\n");
    EXPECT_EQ(LoadPng(Path("page-flat.png")), Picture(kFlatted, kRgb));

    run = RunTool({"flat", Path("page.png"), "--suffix", ".v2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LoadPng(Path("page.v2.png")), Picture(kFlatted, kRgb));

    // With a suffix, the output folder may be the pages' own.
    run = RunTool({"flat", Path("page.png"), "--out-dir", folder_.string(), "--suffix", "_out"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LoadPng(Path("page_out.png")), Picture(kFlatted, kRgb));
    EXPECT_EQ(LoadPng(Path("page.png")), Picture(kPage, kRgb));

    // A second run does not replace the first one's result unasked.
    run = RunTool({"flat", Path("page.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "already exists")) << run.err;
}

TEST_F(FirstRun, AFolderStandsForThePagesDirectlyInIt) {
    fs::create_directories(Path("chapter/sub"));
    SavePng(Path("chapter/b.png"), Picture(kPage, kRgb));
    SaveTiff(Path("chapter/a.TIF"), Picture(kPage, kRgb));
    SavePng(Path("chapter/sub/c.png"), Picture(kPage, kRgb));
    SavePng(Path("chapter/.hidden.png"), Picture(kPage, kRgb));
    SavePng(Path("chapter/old-flat.png"), Picture(kPage, kRgb));  // an earlier run's result
    WriteBytes(Path("chapter/notes.txt"), "not a page\n");

    const SToolRun run = RunTool({"flat", Path("chapter")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Path("chapter/a-flat.TIF") + "\n" + Path("chapter/b-flat.png") + "\n");
    EXPECT_EQ(LoadTiff(Path("chapter/a-flat.TIF")), Picture(kFlatted, kRgb));
    EXPECT_EQ(Listing("chapter"),
              (std::vector<std::string>{".hidden.png", "a-flat.TIF", "a.TIF", "b-flat.png", "b.png",
                                        "notes.txt", "old-flat.png", "sub"}));
}

TEST_F(FirstRun, AFileNamedFirstIsToldTheCommands) {
    SavePng(Path("page.png"), Picture(kPage, kRgb));
    const SToolRun run = RunTool({Path("page.png")});
    EXPECT_EQ(run.status, 64);
    EXPECT_TRUE(Has(run.err, "vandrel flat " + Path("page.png"))) << run.err;
    EXPECT_TRUE(Has(run.err, "COMMANDS\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "\n  flat ")) << run.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"page.png"});
}

// Pages overlap in a batch: the page before is written while the next is
// flatted. Each line says which page it is about, and no page's lines
// start before the page before has ended.
TEST_F(FirstRun, ABatchNumbersItsPagesAndKeepsTheirLinesInOrder) {
    fs::create_directory(Path("in"));
    for (const char* name : {"1.png", "2.png", "3.png"})
        SavePng(Path("in/") + name, Picture(std::vector<std::string>(40, "r" + std::string(60, '#')), kRgb));
    const SToolRun run = RunTool({"flat", Path("in"), "--out-dir", Path("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    int lastPage = 1;
    bool ended[4] = {};
    for (size_t at = 0, end; at < run.err.size(); at = end + 1) {
        end = run.err.find('\n', at);
        const std::string line = run.err.substr(at, end - at);
        for (int page = 1; page <= 3; ++page) {
            if (!Has(line, "page " + std::to_string(page) + " of 3: ")) continue;
            EXPECT_GE(page, lastPage) << run.err;
            EXPECT_TRUE(page == 1 || ended[page - 1]) << "page " << page << " began early:\n" << run.err;
            lastPage = page;
            ended[page] = ended[page] || Has(line, "MP flatted in");
        }
    }
    EXPECT_TRUE(ended[1] && ended[2] && ended[3]) << run.err;
}

}  // namespace
