// Pages auto flats cannot fill, and outputs it may not write: one line
// naming the file and the reason, a failure in the exit status, and no file
// written, as for flatting.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include "tests/support/LineArtFiles.h"
#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

using AutoflatBadInput = ToolTest;

constexpr long kMegabyte = 1024;  // in the kB of maxRssKb

SPicture Filled(int width, int height, uint8_t value) {
    SPicture page;
    page.width = width;
    page.height = height;
    page.planes = 3;
    page.samples.assign(size_t(width) * size_t(height) * 3, value);
    return page;
}

void ExpectRefused(const SToolRun& run, const std::string& input, const std::string& reason,
                   const std::string& what) {
    EXPECT_EQ(run.status, 1) << what << ": " << run.err;
    EXPECT_EQ(run.err.rfind("vandrel: " + input + ": ", 0), 0u) << what << ": " << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << what << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << what << ": " << run.err;
    EXPECT_EQ(run.out, "") << what;
}

TEST_F(AutoflatBadInput, EachBadPageIsRefusedWithItsReasonAndNoOutput) {
    struct SCase {
        const char* file;
        std::function<void(const std::string&)> make;
        std::vector<std::string> extra;
        const char* reason;
    };
    SavePng(Path("good.png"), AsColour(ThreeRegionPage(), 3));
    const std::vector<SCase> cases = {
        {"empty.png", [](auto& p) { WriteBytes(p, ""); }, {}, "not a PNG or TIFF image"},
        {"black.png", [](auto& p) { SavePng(p, Filled(40, 30, 0)); }, {}, "the page is all line art"},
        {"white.png", [](auto& p) { SavePng(p, Filled(40, 30, 255)); }, {}, "no line art"},
        {"dot-white.png", [](auto& p) { SavePng(p, Filled(1, 1, 255)); }, {}, "no line art"},
        {"dot-black.png", [](auto& p) { SavePng(p, Filled(1, 1, 0)); }, {}, "all line art"},
        {"small-hints.png",
         [&](auto& p) {
             std::filesystem::copy_file(Path("good.png"), p);
             SavePng(Path("hints.png"), Filled(63, 48, 255));
         },
         {"--hints", Path("hints.png")},
         "is 63 x 48 pixels, the page 64 x 48: they must be the same size"},
    };
    for (const SCase& c : cases) {
        const std::string in = Path(c.file);
        c.make(in);
        std::vector<std::string> args = {"autoflat",  "-q",           in, "-o", Path("out.png"),
                                         "--regions", Path("map.png")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ExpectRefused(RunTool(args), in, c.reason, c.file);
        EXPECT_FALSE(std::filesystem::exists(Path("out.png"))) << c.file;
        EXPECT_FALSE(std::filesystem::exists(Path("map.png"))) << c.file;
        EXPECT_FALSE(std::filesystem::exists(Path("map.gpl"))) << c.file;
    }
    // No temporary file was left behind either.
    for (const std::string& name : Listing()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    EXPECT_EQ(Listing().size(), cases.size() + 2);  // good.png, hints.png
}

// 64 MB of pixels in a file of a few: a page flatting would take within a
// gigabyte, which auto flats, with its own tables per pixel, cannot. It
// is refused before a row is read.
TEST_F(AutoflatBadInput, APageTooLargeForAutoFlatsIsRefusedBeforeItIsRead) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' shadow memory leaves no room for an address limit";
    WriteBytes(Path("black.png"), BlackPng(8000, 8000));
    SToolSetup limits;
    limits.addressBytes = rlim_t(1) << 30;
    const auto started = std::chrono::steady_clock::now();
    const SToolRun run = RunTool({"autoflat", Path("black.png"), "-o", Path("flats.png")}, limits);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ExpectRefused(run, Path("black.png"), "not enough memory for this page: auto flats of its",
                  "8000 x 8000");
    EXPECT_LT(run.maxRssKb, 128 * kMegabyte) << "took " << run.maxRssKb / kMegabyte << " MB";
    EXPECT_LT(seconds, 5);
    EXPECT_EQ(Listing(), std::vector<std::string>{"black.png"});
}

// Existing files are replaced only with --overwrite, the map and its
// palette as much as the flats; an input never, whatever it is called.
TEST_F(AutoflatBadInput, OutputsAreReplacedOnlyWithOverwriteAndNeverAnInput) {
    SaveGrayPng(Path("page.png"), ThreeRegionPage());
    const std::string page = Path("page.png");
    for (const char* existing : {"flats.png", "map.png", "map.gpl"}) {
        WriteBytes(Path(existing), "keep me");
        const SToolRun run =
            RunTool({"autoflat", page, "-o", Path("flats.png"), "--regions", Path("map.png")});
        ExpectRefused(run, page, Path(existing) + " already exists (--overwrite replaces it)", existing);
        EXPECT_EQ(ReadBytes(Path(existing)), "keep me") << existing;
        EXPECT_EQ(Listing().size(), 2u) << existing;
        std::filesystem::remove(Path(existing));
    }
    for (const char* existing : {"flats.png", "map.png", "map.gpl"}) WriteBytes(Path(existing), "old");
    const SToolRun replaced =
        RunTool({"autoflat", page, "-o", Path("flats.png"), "--regions", Path("map.png"), "--overwrite"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    for (const char* existing : {"flats.png", "map.png", "map.gpl"})
        EXPECT_NE(ReadBytes(Path(existing)), "old") << existing;

    const std::string before = ReadBytes(page);
    const SToolRun self = RunTool({"autoflat", page, "-o", page, "--overwrite"});
    EXPECT_EQ(self.status, 1) << self.err;
    EXPECT_NE(self.err.find("is the input itself"), std::string::npos) << self.err;
    WriteBytes(Path("hints.png"), ReadBytes(page));
    const SToolRun onHints = RunTool({"autoflat", page, "--hints", Path("hints.png"), "--regions",
                                      Path("hints.png"), "-o", Path("other.png"), "--overwrite"});
    EXPECT_EQ(onHints.status, 1) << onHints.err;
    EXPECT_NE(onHints.err.find("is the hints page"), std::string::npos) << onHints.err;
    EXPECT_EQ(ReadBytes(page), before);
    EXPECT_FALSE(std::filesystem::exists(Path("other.png")));
}

TEST_F(AutoflatBadInput, OptionsThatCannotGoTogetherAreUsageErrors) {
    SaveGrayPng(Path("a.png"), ThreeRegionPage());
    for (const auto& [extra, reason] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{Path("b.png"), "--hints", Path("a.png"), "--out-dir", Path("out")},
              "--hints goes with one input"},
             {{Path("b.png"), "--regions", Path("m.png"), "--out-dir", Path("out")},
              "--regions writes one map"},
             {{"-o", Path("f.png"), "--regions", Path("m.tif")}, "the region map is a PNG"}}) {
        std::vector<std::string> args = {"autoflat", Path("a.png")};
        args.insert(args.end(), extra.begin(), extra.end());
        const SToolRun run = RunTool(args);
        EXPECT_EQ(run.status, 64) << reason << ": " << run.err;
        EXPECT_EQ(run.err.rfind("vandrel: " + reason, 0), 0u) << run.err;
        EXPECT_NE(run.err.find("\nRun 'vandrel autoflat --help'"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.png"});
}

}  // namespace
