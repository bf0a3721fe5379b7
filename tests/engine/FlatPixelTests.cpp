// One pixel and one strip in the host's thread: the hint handed from pixel
// to pixel, what is written for each outcome, progress and cancel.
#include <gtest/gtest.h>

#include "engine/FlatPass.h"
#include "engine/FlatStrip.h"
#include "tests/engine/EngineTesting.h"
#include "tests/support/SimulatorRun.h"
#include "tests/support/TestImages.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

// A black square with colours placed around its centre (10, 10).
class HintBookkeeping : public ::testing::Test {
protected:
    HintBookkeeping() : page_(SolidImage(21, 21, 3, kBlack)) {}
    void Colour(int dx, int dy) { Paint(page_, 10 + dx, 10 + dy, kRed); }
    // Flats the centre starting from `hint` and returns the hint it leaves.
    uint16_t FlatCentre(uint16_t hint, uint16_t maxRings = 256) {
        laidOut_ = std::make_unique<CLaidOutImage>(page_, SpecFor(page_, false, sim::ELayout::Interleaved));
        search_.maxRings = maxRings;
        FlatPixel(10, 10, laidOut_->Flat(), search_, true, hint);
        return hint;
    }
    std::vector<uint8_t> Centre() const {
        const auto out = laidOut_->Output();
        return {out.At(10, 10, 0), out.At(10, 10, 1), out.At(10, 10, 2)};
    }
    sim::CHostImage page_;
    std::unique_ptr<CLaidOutImage> laidOut_;
    CPixelDistance search_;
};

TEST_F(HintBookkeeping, ANonBlackPixelResetsTheHintAndIsNotWritten) {
    Paint(page_, 10, 10, kGreen);
    EXPECT_EQ(FlatCentre(7), 1);
    EXPECT_EQ(Centre(), (std::vector<uint8_t>{0, 255, 0}));
}

TEST_F(HintBookkeeping, AColourOnTheSameRowLeavesItsDistance) {
    Colour(6, 0);
    EXPECT_EQ(FlatCentre(5), 6);
    EXPECT_EQ(Centre(), (std::vector<uint8_t>{255, 0, 0}));
}

TEST_F(HintBookkeeping, OtherwiseTheLastCandidateExaminedOnTheSameRowCounts) {
    // At distance² 25 the ring-4 offsets come first, then (0, 5), (5, 0),
    // (0, -5), (-5, 0); (1, 5) follows at 26.
    Colour(1, 5);
    EXPECT_EQ(FlatCentre(5), 5);
    EXPECT_EQ(Centre(), (std::vector<uint8_t>{255, 0, 0}));
}

TEST_F(HintBookkeeping, WithoutSuchACandidateTheStartingDistanceIsLeftOneLess) {
    Colour(1, 4);  // distance² 17, first of its group, after (±4, 0) at 16
    EXPECT_EQ(FlatCentre(4), 4);
    Colour(0, 3);  // now found first, at (0, 3): nothing on the row examined
    EXPECT_EQ(FlatCentre(4), 3);
    Colour(0, 1);
    EXPECT_EQ(FlatCentre(1), 1);  // never below 1
}

TEST_F(HintBookkeeping, ATooDeepPixelLeavesTheDistanceOfTheLastRowCandidate) {
    // Radius 10 ends with the ring-10 axis offsets, (-10, 0) last.
    EXPECT_EQ(FlatCentre(1, 10), 10);
    EXPECT_EQ(Centre(), (std::vector<uint8_t>{255, 255, 255}));
}

TEST(SingleThreadedPass, ReportsEveryStripAgainstTheImageHeight) {
    auto image = SolidImage(3, 100, 3, kBlack);
    for (int y = 0; y < 100; ++y) Paint(image, 0, y, kBlue);
    SRunOptions options;
    const SPluginRun run = RunPlugin(RgbSpec(image), image, options);
    ASSERT_EQ(run.result, host::noErr);
    ASSERT_EQ(run.progress.size(), 3u);
    EXPECT_EQ(run.progress[0].done, 42);
    EXPECT_EQ(run.progress[1].done, 84);
    EXPECT_EQ(run.progress[2].done, 100);
    for (const auto& report : run.progress) EXPECT_EQ(report.total, 100);
    EXPECT_EQ(run.output, SolidImage(3, 100, 3, kBlue));
}

TEST(SingleThreadedPass, ACancelAfterTheFirstStripKeepsItAndLeavesTheRestAsSupplied) {
    auto image = SolidImage(3, 100, 3, kBlack);
    for (int y = 0; y < 100; ++y) Paint(image, 0, y, kBlue);
    SRunOptions options;
    options.prepare = [](sim::CHostSimulator& host) { host.abortAfterReports = 1; };
    const SPluginRun run = RunPlugin(RgbSpec(image), image, options);
    EXPECT_EQ(run.result, host::noErr);
    ASSERT_EQ(run.progress.size(), 1u);
    EXPECT_EQ(run.progress[0].done, 42);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(run.output.At(x, y, 2), y < 42 || x == 0 ? 255 : 0) << x << "," << y;
}

TEST(SingleThreadedPass, AnEmptyImageNeedsNoStrip) {
    for (int processors : {1, 4}) {
        CLaidOutImage laidOut(sim::CHostImage(0, 0, 3),
                              SpecFor(sim::CHostImage(0, 0, 3), false, sim::ELayout::Interleaved));
        CRecordingPassHost host;
        CPixelDistance search;
        RunFlatPass(laidOut.Flat(), search, SPassSettings(), host, processors);
        EXPECT_EQ(host.RowsDone(), 0);
        // Workers report at least once at the end; the host's thread only per strip.
        EXPECT_EQ(host.reports.empty(), processors == 1);
        for (int32_t done : host.reports) EXPECT_EQ(done, 0);
    }
}

}  // namespace
