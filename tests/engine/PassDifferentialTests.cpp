// Whole passes, in the host's thread and on every worker count, with the
// distance-assisted walk and with the plain search: the same bytes, the same
// progress, the same strips left when the user cancels; and the same through
// the plug-in on the benchmark's pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "bench/BenchPages.h"
#include "engine/FlatPass.h"
#include "engine/FlatStrip.h"
#include "sim/HostSimulator.h"
#include "tests/engine/FastPathTesting.h"
#include "tests/support/SimulatorRun.h"

using namespace fastpath_testing;

namespace {

class CCountingHost : public CPassHost {
public:
    void ReportProgress(int32_t done) override { reports.push_back(done); }
    bool TestAbort() override { return ++abortCalls == cancelAt; }
    void AddRowsDone(int32_t rows) override { done_ += rows; }
    int32_t RowsDone() const override { return done_; }

    int cancelAt = 0;  // never when 0
    int abortCalls = 0;
    std::vector<int32_t> reports;

private:
    std::atomic<int32_t> done_{0};
};

struct SPassRun {
    sim::CHostImage output;
    std::vector<int32_t> reports;
    int32_t rowsDone = 0;
};

SPassRun RunPass(const sim::CHostImage& page, const SPageCase& c, int processors, bool assisted,
                 int cancelAt = 0) {
    CLaidOutImage laidOut(page, SpecFor(page, c.cmyk, c.layout, c.bottomUp));
    const SPassSettings settings{uint16_t(c.depth), c.white,
                                 assisted ? EFlatMethod::DistanceAssisted : EFlatMethod::Search};
    CPixelDistance search;
    search.maxRings = settings.maxDepth;
    CCountingHost host;
    host.cancelAt = cancelAt;
    RunFlatPass(laidOut.Flat(), search, settings, host, processors);
    return {laidOut.Output(), host.reports, host.RowsDone()};
}

TEST(PassDifferential, RandomArtComesOutTheSameOnOneThreadAndOnEveryWorkerCount) {
    std::mt19937 random(77);
    const int depths[] = {0, 1, 3, 10, 11, 256, 300, 65535};
    for (int round = 0; round < 48; ++round) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        SPageCase c{pick(1, 70),     pick(1, 140),     pick(0, 1) == 1,   sim::ELayout(pick(0, 2)),
                    pick(0, 2) == 0, EArt(pick(0, 3)), depths[round % 8], pick(0, 1) == 1};
        const sim::CHostImage page = RandomArt(random, c.width, c.height, c.cmyk, c.art);
        for (int processors = 1; processors <= 8; ++processors) {
            // Bands restart their hints, so each worker count has its own
            // reference.
            const SPassRun plain = RunPass(page, c, processors, false);
            const SPassRun assisted = RunPass(page, c, processors, true);
            ASSERT_EQ(assisted.output, plain.output) << c << " on " << processors << " processor(s)";
            EXPECT_EQ(assisted.rowsDone, processors == 1 ? 0 : c.height) << c;
            ASSERT_FALSE(assisted.reports.empty()) << c;
            EXPECT_EQ(assisted.reports.back(), c.height) << c;
        }
    }
}

TEST(PassDifferential, ACancelAfterAnyStripLeavesTheSameRowsAndReports) {
    std::mt19937 random(3);
    const SPageCase c{130,   5 * kStripRows + 17, false, sim::ELayout::Interleaved,
                      false, EArt::Blobs,         256,   true};
    const sim::CHostImage page = RandomArt(random, c.width, c.height, c.cmyk, c.art);
    for (int cancelAt = 1; cancelAt <= 6; ++cancelAt) {
        const SPassRun plain = RunPass(page, c, 1, false, cancelAt);
        const SPassRun assisted = RunPass(page, c, 1, true, cancelAt);
        EXPECT_EQ(assisted.output, plain.output) << "cancel at strip " << cancelAt;
        EXPECT_EQ(assisted.reports, plain.reports) << "cancel at strip " << cancelAt;
        EXPECT_EQ(int(assisted.reports.size()), cancelAt);
    }
}

sim::CHostImage RunPlugIn(const sim::CHostImage& page, int depth, bool white, int processors, bool assisted) {
    testing_support::SRunOptions options;
    options.depth = depth;
    options.white = white;
    options.processors = processors;
    options.plainSearch = !assisted;
    const auto run = testing_support::RunPlugin(testing_support::RgbSpec(page), page, options);
    EXPECT_EQ(run.result, host::noErr);
    EXPECT_TRUE(run.guardsIntact);
    return run.output;
}

// The benchmark's pages at a sixth of their size, through the real plug-in.
// The blobs keep their size, so the page is mostly black and runs deep.
TEST(PassDifferential, TheBenchmarkPagesThroughThePlugIn) {
    const int width = bench::kA4Width / 6, height = bench::kA4Height / 6;
    sim::CHostImage strokes = bench::StrokesPage(width, height, 0x5EED);
    sim::CHostImage blobs = strokes;
    bench::AddBlackBlobs(blobs, 0.30, 0xB10B);
    for (const auto& [page, depth, white, processors] :
         {std::tuple{&strokes, 256, false, 1}, std::tuple{&blobs, 10, true, 2},
          std::tuple{&blobs, 40, false, 1}, std::tuple{&blobs, 100, true, 2}}) {
        EXPECT_EQ(RunPlugIn(*page, depth, white, processors, true),
                  RunPlugIn(*page, depth, white, processors, false))
            << "depth " << depth << " on " << processors << " processor(s)";
    }
}

// Thin line art never pays for the transform; large black areas do, and
// then settle most of their pixels without a scan.
TEST(PassDifferential, TheTransformIsMadeOnlyWhereTheScansWouldCostMore) {
    const int width = bench::kA4Width / 4, height = 8 * kStripRows;
    sim::CHostImage strokes = bench::StrokesPage(width, height, 0x5EED);
    sim::CHostImage blobs = strokes;
    bench::AddBlackBlobs(blobs, 0.30, 0xB10B);
    auto walk = [&](const sim::CHostImage& page, int depth, int64_t& shortcuts) {
        CLaidOutImage laidOut(page, SpecFor(page, false, sim::ELayout::Interleaved, false));
        const SFlatImage image = laidOut.Flat();
        CPixelDistance search;
        search.maxRings = uint16_t(depth);
        const SBandCounts counts = WalkBand(image, search, false, EFlatMethod::DistanceAssisted, 0, height);
        shortcuts = counts.shortcutPixels;
        return counts.transformedStrips;
    };
    int64_t shortcuts = 0;
    EXPECT_EQ(walk(strokes, 256, shortcuts), 0);
    EXPECT_EQ(shortcuts, 0);
    EXPECT_EQ(walk(blobs, 256, shortcuts), 8);
    size_t black = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) black += IsBlack(blobs, x, y, false);
    EXPECT_GT(shortcuts, int64_t(black) / 2);
}

}  // namespace
