// What a page costs in memory: its pixels read and the flatted output, and
// little else, so that a page that fits is flatted and one that cannot fit
// is refused at once, with the reason, before anything is allocated.
#include <chrono>

#include "tests/support/ToolTest.h"

namespace tool_testing {
namespace {

using PageMemory = ToolTest;

constexpr long kMegabyte = 1024;  // in the kB of maxRssKb

// A 48 MB page takes its two copies and a little more: at most 2.5 times
// its pixels and 50 MB, as the program promises. A layer with transparency
// too, although the plug-in asks for its colour planes alone.
TEST_F(PageMemory, APageCostsItsPixelsTwiceAndLittleMore) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' own memory is not the tool's";
    constexpr uint32_t kSide = 4000;
    for (const bool alpha : {false, true}) {
        const long rawKb = long(kSide) * kSide * (alpha ? 4 : 3) / 1024;
        WriteBytes(Path("black.png"), BlackPng(kSide, kSide, alpha));
        for (const char* output : {"flat.png", "flat.tif"}) {
            const SToolRun run = RunTool({"flat", Path("black.png"), "-o", Path(output)});
            EXPECT_EQ(run.status, 0) << output << ": " << run.err;
            EXPECT_LE(run.maxRssKb, rawKb * 5 / 2 + 50 * kMegabyte)
                << output << (alpha ? " with alpha" : "") << ": " << run.maxRssKb / kMegabyte << " MB for "
                << rawKb / kMegabyte << " MB of pixels";
            std::filesystem::remove(Path(output));
        }
    }
}

// A layered file streams: a 7000 x 10000 page written as a .psd costs what
// its flat PNG costs plus the one more layer it holds (the line art as it
// came), and no merged or other whole copy of a layer. (.ora streams through
// the same rows; it is left out for time.)
TEST_F(PageMemory, ALargeLayeredPageCostsOneLayerMoreThanItsFlatPng) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' own memory is not the tool's";
    constexpr uint32_t kWidth = 7000, kHeight = 10000;
    constexpr long kLayerKb = long(kWidth) * kHeight * 3 / 1024;
    WriteBytes(Path("page.png"), BlackPng(kWidth, kHeight));
    const SToolRun flat = RunTool({"flat", Path("page.png"), "-o", Path("flat.png")});
    ASSERT_EQ(flat.status, 0) << flat.err;
    std::filesystem::remove(Path("flat.png"));
    for (const char* format : {"psd"}) {
        const std::string output = Path(std::string("flat.") + format);
        const SToolRun run = RunTool({"flat", Path("page.png"), "--layers", format, "-o", output});
        EXPECT_EQ(run.status, 0) << format << ": " << run.err;
        EXPECT_LE(run.maxRssKb, flat.maxRssKb + kLayerKb + 32 * kMegabyte)
            << format << ": " << run.maxRssKb / kMegabyte << " MB against " << flat.maxRssKb / kMegabyte
            << " MB for the flat PNG and " << kLayerKb / kMegabyte << " MB a layer";
        std::filesystem::remove(output);
    }
}

// 805 MB of pixels in a 5 MB file, honestly compressed: under a limit of a
// gigabyte the two copies cannot fit, and the tool says so before reading
// a row, rather than after reading them all.
TEST_F(PageMemory, APageThatCannotFitIsRefusedBeforeItsPixelsAreRead) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' shadow memory leaves no room for an address limit";
    WriteBytes(Path("black.png"), BlackPng(16384, 16384));
    SToolSetup limits;
    limits.addressBytes = rlim_t(1) << 30;
    const auto started = std::chrono::steady_clock::now();
    const SToolRun run = RunTool({"flat", Path("black.png"), "-o", Path("flat.png")}, limits);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("not enough memory for this page: flatting its 768 MB of pixels takes about"),
              std::string::npos)
        << run.err;
    EXPECT_LT(run.maxRssKb, 256 * kMegabyte) << "took " << run.maxRssKb / kMegabyte << " MB";
    EXPECT_LT(seconds, 5);
    EXPECT_EQ(Listing(), std::vector<std::string>{"black.png"});
}

// Under an address-space limit every thread's stack and the allocator's
// pools for the threads take their share as well: counted, a page that
// will not fit is refused before a row is read, never after its output is
// mostly written.
TEST_F(PageMemory, UnderAnAddressLimitAPageIsRefusedAtOnceOrWritten) {
    if (kSanitizerBuild) GTEST_SKIP() << "the sanitizers' shadow memory leaves no room for an address limit";
    WriteBytes(Path("big.png"), PngFile(NoisyPage(3000, 3000, 5)));
    int refused = 0;
    for (rlim_t megabytes = 64; megabytes <= 640; megabytes += 16) {
        SToolSetup limits;
        limits.addressBytes = megabytes << 20;
        limits.env = {"VANDREL_PROCESSORS=4"};
        const SToolRun run = RunTool({"flat", Path("big.png"), "-o", Path("flat.png")}, limits);
        if (run.status == 0) break;
        ++refused;
        EXPECT_EQ(run.status, 1) << megabytes << " MB: " << run.err;
        EXPECT_NE(run.err.find("not enough memory for this page: flatting its"), std::string::npos)
            << megabytes << " MB: " << run.err;
        EXPECT_EQ(run.err.find("%"), std::string::npos) << megabytes << " MB: refused only after starting";
        EXPECT_EQ(Listing(), std::vector<std::string>{"big.png"}) << megabytes << " MB";
    }
    EXPECT_GT(refused, 0) << "every limit left enough memory: the test shows nothing";
    EXPECT_EQ(Listing(), (std::vector<std::string>{"big.png", "flat.png"})) << "no limit was enough";
}

}  // namespace
}  // namespace tool_testing
