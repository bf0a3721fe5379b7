// Re-flatting revised line art with --like: the earlier flats' colours
// stay where the page did not change, and the earlier flats are an input
// like any other, never an output.
#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;
namespace fs = std::filesystem;

namespace {

using AutoflatLike = ToolTest;

constexpr int kWidth = 160, kHeight = 120;

// A gray page of twelve boxes in four columns and three rows, 2-pixel lines
// on 40-pixel steps.
SPicture Grid() {
    SPicture page;
    page.width = kWidth;
    page.height = kHeight;
    page.planes = 1;
    page.samples.assign(size_t(kWidth) * kHeight, 255);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool frame = x < 2 || y < 2 || x >= kWidth - 2 || y >= kHeight - 2;
            if (frame || x % 40 < 2 || y % 40 < 2) page.At(x, y, 0) = 0;
        }
    return page;
}

// The grid revised: a line added in the second box of the top row (its
// right part the larger), and a strip of the line between the last two
// boxes of the right column erased.
SPicture Revised() {
    SPicture page = Grid();
    for (int y = 2; y < 40; ++y) page.At(52, y, 0) = page.At(53, y, 0) = 0;
    for (int x = 128; x < 152; ++x) page.At(x, 80, 0) = page.At(x, 81, 0) = 255;
    return page;
}

// The box at column `col`, row `row`, inside its lines.
bool InBox(int x, int y, int col, int row) {
    return x >= col * 40 + 2 && x < col * 40 + 40 && y >= row * 40 + 2 && y < row * 40 + 40;
}

std::vector<uint8_t> Colour(SPicture& flats, int x, int y) {
    return {flats.At(x, y, 0), flats.At(x, y, 1), flats.At(x, y, 2)};
}

}  // namespace

TEST_F(AutoflatLike, ARevisionKeepsTheColoursOfWhatItDidNotChange) {
    SaveGrayPng(Path("page.png"), Grid());
    ASSERT_EQ(RunTool({"autoflat", "-q", Path("page.png"), "--gap", "3", "-o", Path("old.png")}).status, 0);
    SPicture old = LoadPng(Path("old.png"));
    // A flatter's own pale grey in one box, which the hints' rule for the
    // page itself would take for paper.
    for (int y = 42; y < 80; ++y)
        for (int x = 2; x < 40; ++x)
            for (int k = 0; k < 3; ++k) old.At(x, y, k) = 230;
    SavePng(Path("old.png"), old);
    SaveGrayPng(Path("revised.png"), Revised());
    const SToolRun run = RunTool({"autoflat", "-q", Path("revised.png"), "--gap", "3", "--like",
                                  Path("old.png"), "-o", Path("new.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    SPicture now = LoadPng(Path("new.png"));
    ASSERT_EQ(now.width, kWidth);

    uint64_t unchanged = 0, kept = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (InBox(x, y, 1, 0) || InBox(x, y, 3, 1) || InBox(x, y, 3, 2)) continue;
            bool inAnyBox = false;
            for (int col = 0; col < 4; ++col)
                for (int row = 0; row < 3; ++row) inAnyBox = inAnyBox || InBox(x, y, col, row);
            if (!inAnyBox) continue;
            ++unchanged;
            kept += Colour(now, x, y) == Colour(old, x, y);
        }
    EXPECT_GE(double(kept), 0.99 * double(unchanged)) << kept << " of " << unchanged;
    EXPECT_EQ(Colour(now, 20, 60), (std::vector<uint8_t>{230, 230, 230}));

    // The split box: its larger part keeps its colour, the smaller one
    // takes one no other region has, earlier or now.
    EXPECT_EQ(Colour(now, 70, 20), Colour(old, 60, 20));
    const std::vector<uint8_t> smaller = Colour(now, 45, 20);
    std::set<std::vector<uint8_t>> elsewhere;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            elsewhere.insert(Colour(old, x, y));
            if (!(x >= 40 && x < 54 && y < 42)) elsewhere.insert(Colour(now, x, y));
        }
    EXPECT_EQ(elsewhere.count(smaller), 0u);
    // The two boxes joined are one flat, in the colour of one of them.
    EXPECT_EQ(Colour(now, 140, 60), Colour(now, 140, 100));
    EXPECT_TRUE(Colour(now, 140, 60) == Colour(old, 140, 60) ||
                Colour(now, 140, 60) == Colour(old, 140, 100));
}

TEST_F(AutoflatLike, EarlierFlatsThatDoNotFitOrWouldBeReplacedAreRefused) {
    SaveGrayPng(Path("page.png"), Grid());
    ASSERT_EQ(RunTool({"autoflat", "-q", Path("page.png"), "-o", Path("old.png")}).status, 0);
    const std::string before = ReadBytes(Path("old.png"));

    // Another size: one line naming the file, no output.
    SaveGrayPng(Path("small.png"), ThreeRegionPage());
    SToolRun run =
        RunTool({"autoflat", "-q", Path("page.png"), "--like", Path("small.png"), "-o", Path("new.png")});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("the earlier flats " + Path("small.png") + " are 64 x 48 pixels"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(fs::exists(Path("new.png")));

    // The earlier flats as the output, by any name, even with --overwrite.
    for (const std::string& output : {Path("old.png"), folder_.string() + "/./old.png"}) {
        run = RunTool(
            {"autoflat", "-q", Path("page.png"), "--like", Path("old.png"), "-o", output, "--overwrite"});
        EXPECT_NE(run.status, 0) << output;
        EXPECT_NE(run.err.find("earlier flats"), std::string::npos) << run.err;
        EXPECT_EQ(ReadBytes(Path("old.png")), before);
    }
    // One file for many pages.
    SaveGrayPng(Path("other.png"), Grid());
    run = RunTool({"autoflat", "-q", Path("page.png"), Path("other.png"), "--like", Path("old.png"),
                   "--out-dir", Path("out")});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("--like goes with one input"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("out")));
}

// --like each: a page's earlier flats are NAME-flats.png beside it, where a
// plain run put them; they are no page of the folder, and the new flats
// must go elsewhere.
TEST_F(AutoflatLike, EachPageKeepsTheColoursOfTheFlatsBesideIt) {
    fs::create_directory(Path("inks"));
    SaveGrayPng(Path("inks/a.png"), Grid());
    SaveGrayPng(Path("inks/b.png"), Grid());
    ASSERT_EQ(RunTool({"autoflat", "-q", Path("inks/a.png")}).status, 0);
    SPicture old = LoadPng(Path("inks/a-flats.png"));
    for (int y = 2; y < 40; ++y)
        for (int x = 2; x < 40; ++x)
            for (int k = 0; k < 3; ++k) old.At(x, y, k) = 200;
    SavePng(Path("inks/a-flats.png"), old);
    SaveGrayPng(Path("inks/a.png"), Revised());

    SToolRun run = RunTool({"autoflat", "-q", Path("inks"), "--like", "each", "--out-dir", Path("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{"a.png", "b.png"}));
    SPicture a = LoadPng(Path("out/a.png"));
    EXPECT_EQ(Colour(a, 20, 20), (std::vector<uint8_t>{200, 200, 200}));
    EXPECT_EQ(Colour(a, 100, 100), Colour(old, 100, 100));

    // Beside the pages the output would replace a's earlier flats: a is
    // refused, b goes ahead.
    const std::string before = ReadBytes(Path("inks/a-flats.png"));
    run = RunTool({"autoflat", "-q", Path("inks"), "--like", "each", "--overwrite"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("is the earlier flats (--like)"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(Path("inks/a-flats.png")), before);
    EXPECT_TRUE(fs::exists(Path("inks/b-flats.png")));
}
