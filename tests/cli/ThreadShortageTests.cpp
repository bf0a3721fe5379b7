// A machine that lets no more threads start (a container's process limit,
// `ulimit -u`): the pages are flatted on the threads there are, or fail
// with a reason; the tool never aborts, and leaves nothing behind.
#include <filesystem>

#include "tests/support/ToolTest.h"

using namespace tool_testing;

namespace {

namespace fs = std::filesystem;

using ThreadShortage = ToolTest;

SPicture Stripes(int width, int height) {
    SPicture page{width, height, 3, std::vector<uint8_t>(size_t(width) * size_t(height) * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) page.At(x, y, (x + y) % 3) = uint8_t(40 + (x * 7 + y) % 200);
    return page;
}

SToolSetup Shortage(const std::string& folder, int allowed, int processors) {
    return {.env = {FaultShimPreload(), "VANDREL_PROCESSORS=" + std::to_string(processors),
                    "VANDREL_FAULT_THREADS=" + std::to_string(allowed), "TMPDIR=" + folder}};
}

// The plug-in's pass itself needs the threads it was told to use, and
// says so; everything around it makes do with fewer.
TEST_F(ThreadShortage, APageIsFlattedOrFailsWithItsReason) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' runtime must be the first library loaded";
    const SPicture page = Stripes(48, 64);  // 32 strips of 2 rows: enough for helper threads
    SaveTiff(Path("page.tif"), page);
    SavePng(Path("page.png"), page);
    fs::create_directory(Path("tmp"));
    for (const char* input : {"page.tif", "page.png"}) {
        for (const char* output : {"flat.tif", "flat.png"}) {
            for (int allowed = 0; allowed <= 6; ++allowed) {
                const std::string what = std::string(input) + " to " + output + " with " +
                                         std::to_string(allowed) + " threads to be had";
                const SToolRun run = RunTool({"flat", Path(input), "-o", Path(output), "--overwrite"},
                                             Shortage(Path("tmp"), allowed, 4));
                if (run.status == 0) {
                    EXPECT_EQ(
                        output == std::string("flat.tif") ? LoadTiff(Path(output)) : LoadPng(Path(output)),
                        page)
                        << what;
                    fs::remove(Path(output));
                } else {
                    EXPECT_EQ(run.status, 1) << what << ": " << run.err;
                    EXPECT_NE(run.err.find("could not start its threads"), std::string::npos)
                        << what << ": " << run.err;
                    EXPECT_FALSE(fs::exists(Path(output))) << what;
                }
                EXPECT_TRUE(fs::is_empty(Path("tmp"))) << what << ": the host's private folder is left";
            }
        }
    }
}

// With one processor the pass runs on the calling thread: a batch, whose
// pages overlap on a thread of their own, is then flatted whole without one.
TEST_F(ThreadShortage, ABatchIsFlattedWithoutAThreadToSpare) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' runtime must be the first library loaded";
    const SPicture a = Stripes(48, 64), b = Stripes(64, 48);
    SavePng(Path("a.png"), a);
    SaveTiff(Path("b.tif"), b);
    SavePng(Path("c.png"), a);
    fs::create_directory(Path("tmp"));
    const SToolRun run =
        RunTool({"flat", Path("a.png"), Path("b.tif"), Path("c.png"), "--out-dir", Path("out")},
                Shortage(Path("tmp"), 0, 1));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LoadPng(Path("out/a.png")), a);
    EXPECT_EQ(LoadTiff(Path("out/b.tif")), b);
    EXPECT_EQ(LoadPng(Path("out/c.png")), a);
    EXPECT_TRUE(fs::is_empty(Path("tmp")));
}

}  // namespace
