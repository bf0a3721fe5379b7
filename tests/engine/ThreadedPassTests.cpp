// The pass on worker threads: bands, progress, cancel, and what happens when
// a worker fails or cannot be started.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/thread/thread.hpp>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "engine/FlatPass.h"
#include "engine/VandrelThread.h"
#include "tests/engine/EngineTesting.h"
#include "tests/support/SimulatorRun.h"
#include "tests/support/TestImages.h"

using namespace engine_testing;
using namespace testing_support;

namespace {

using Call = std::tuple<EPassPoint, int32_t, int32_t>;

// Records every call of the pass's test seam and lets a test act on it.
std::mutex gCallsLock;
std::vector<Call> gCalls;
std::function<void(EPassPoint, int32_t, int32_t)> gAction;

void RecordingHook(EPassPoint point, int32_t firstRow, int32_t row) {
    {
        std::lock_guard<std::mutex> hold(gCallsLock);
        gCalls.emplace_back(point, firstRow, row);
    }
    if (gAction) gAction(point, firstRow, row);
}

std::vector<Call> Calls(EPassPoint point) {
    std::lock_guard<std::mutex> hold(gCallsLock);
    std::vector<Call> matching;
    for (const Call& c : gCalls)
        if (std::get<0>(c) == point) matching.push_back(c);
    std::sort(matching.begin(), matching.end());
    return matching;
}

size_t CallCount() {
    std::lock_guard<std::mutex> hold(gCallsLock);
    return gCalls.size();
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class ThreadedPass : public ::testing::Test {
protected:
    void SetUp() override {
        gCalls.clear();
        gAction = nullptr;
        gPassFaultHook = RecordingHook;
    }
    void TearDown() override {
        gPassFaultHook = nullptr;
        gAction = nullptr;
    }

    // Column 0 blue, the rest black: every row that is flatted turns blue.
    static sim::CHostImage BlueEdge(int height) {
        auto image = SolidImage(3, height, 3, kBlack);
        for (int y = 0; y < height; ++y) Paint(image, 0, y, kBlue);
        return image;
    }
    static bool RowFlatted(const sim::CHostImage& out, int y) { return out.At(2, y, 2) == 255; }

    void Run(int height, int workers) {
        page_ = BlueEdge(height);
        laidOut_ = std::make_unique<CLaidOutImage>(page_, SpecFor(page_, false, sim::ELayout::Interleaved));
        CPixelDistance unused;
        RunFlatPass(laidOut_->Flat(), unused, SPassSettings(), host_, workers);
    }

    // Nothing may touch the host's side once the pass has returned.
    void ExpectNoWorkerLeft() {
        const size_t calls = CallCount();
        const int32_t rows = host_.RowsDone();
        Sleep(60);
        EXPECT_EQ(CallCount(), calls) << "a worker started a strip after the pass returned";
        EXPECT_EQ(host_.RowsDone(), rows) << "a worker reported rows after the pass returned";
    }

    sim::CHostImage page_;
    std::unique_ptr<CLaidOutImage> laidOut_;
    CRecordingPassHost host_;
};

std::vector<Call> Strips(std::initializer_list<std::pair<int, int>> starts) {
    std::vector<Call> calls;
    for (auto [first, row] : starts) calls.emplace_back(EPassPoint::StartingStrip, first, row);
    std::sort(calls.begin(), calls.end());
    return calls;
}

TEST_F(ThreadedPass, AHundredRowsOnEightWorkersMakeBandsOfTwelveAndALastOfSixteen) {
    Run(100, 8);
    EXPECT_EQ(Calls(EPassPoint::StartingStrip),
              Strips({{0, 0}, {12, 12}, {24, 24}, {36, 36}, {48, 48}, {60, 60}, {72, 72}, {84, 84}}));
    std::vector<int32_t> added = host_.Added();
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, (std::vector<int32_t>{12, 12, 12, 12, 12, 12, 12, 16}));
    EXPECT_EQ(host_.RowsDone(), 100);
    EXPECT_EQ(host_.reports.back(), 100);
    EXPECT_EQ(laidOut_->Output(), SolidImage(3, 100, 3, kBlue));
}

TEST_F(ThreadedPass, StripsAreCountedFromEachBandsFirstRow) {
    Run(100, 2);
    EXPECT_EQ(Calls(EPassPoint::StartingStrip), Strips({{0, 0}, {0, 42}, {50, 50}, {50, 92}}));
    std::vector<int32_t> added = host_.Added();
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added, (std::vector<int32_t>{8, 8, 42, 42}));
    EXPECT_EQ(laidOut_->Output(), SolidImage(3, 100, 3, kBlue));
}

TEST_F(ThreadedPass, WithMoreWorkersThanRowsTheLastWorkerTakesThemAll) {
    Run(5, 8);
    EXPECT_EQ(Calls(EPassPoint::CreatingWorker).size(), 8u);
    EXPECT_EQ(Calls(EPassPoint::StartingStrip), Strips({{0, 0}}));
    EXPECT_EQ(host_.Added(), std::vector<int32_t>{5});
    EXPECT_EQ(host_.reports.back(), 5);
    EXPECT_EQ(laidOut_->Output(), SolidImage(3, 5, 3, kBlue));
}

TEST_F(ThreadedPass, TheWorkerCountIsCappedAt127) {
    Run(300, 200);
    EXPECT_EQ(Calls(EPassPoint::CreatingWorker).size(), 127u);
    EXPECT_EQ(host_.RowsDone(), 300);
}

TEST_F(ThreadedPass, ACancelLetsEveryWorkerFinishItsStripAndStartNoOther) {
    // Each worker holds at the start of its second strip until it is asked
    // to stop, so the cancel is certain to find every worker mid-band.
    gAction = [](EPassPoint point, int32_t firstRow, int32_t row) {
        if (point != EPassPoint::StartingStrip || row == firstRow) return;
        for (int waited = 0; waited < 10000 && !boost::this_thread::interruption_requested(); ++waited)
            Sleep(1);
    };
    host_.abort = [] { return true; };
    Run(800, 4);  // bands of 200 rows: five strips each

    EXPECT_EQ(
        Calls(EPassPoint::StartingStrip),
        Strips({{0, 0}, {0, 42}, {200, 200}, {200, 242}, {400, 400}, {400, 442}, {600, 600}, {600, 642}}));
    EXPECT_EQ(host_.RowsDone(), 4 * 84);
    EXPECT_EQ(host_.reports.back(), 4 * 84);
    const sim::CHostImage out = laidOut_->Output();
    for (int y = 0; y < 800; ++y) EXPECT_EQ(RowFlatted(out, y), y % 200 < 84) << "row " << y;
    ExpectNoWorkerLeft();
}

TEST_F(ThreadedPass, AFailingWorkerStopsTheOthersAndItsFailureLeavesThePass) {
    // Band 1 runs out of memory in its second strip; the others are slowed
    // down so they would still have most of their bands ahead of them.
    gAction = [](EPassPoint point, int32_t firstRow, int32_t row) {
        if (point != EPassPoint::StartingStrip) return;
        if (firstRow == 420 && row > firstRow) throw std::bad_alloc();
        if (firstRow != 420) Sleep(20);
    };
    EXPECT_THROW(Run(1680, 4), std::bad_alloc);
    ExpectNoWorkerLeft();
    EXPECT_LT(host_.RowsDone(), 1680 / 2);
}

TEST_F(ThreadedPass, AWorkerThatCannotBeStartedTakesTheRunningOnesDownWithIt) {
    gAction = [](EPassPoint point, int32_t firstRow, int32_t) {
        if (point == EPassPoint::CreatingWorker && firstRow == 840) throw boost::thread_resource_error();
        if (point == EPassPoint::StartingStrip) Sleep(20);
    };
    EXPECT_THROW(Run(1680, 4), boost::thread_resource_error);
    ExpectNoWorkerLeft();
    // Two workers ran, and stopped after the strip they were in.
    EXPECT_EQ(Calls(EPassPoint::CreatingWorker).size(), 3u);
    EXPECT_LT(host_.RowsDone(), 840);
}

TEST_F(ThreadedPass, AHostCallbackThatThrowsStillHasEveryWorkerJoined) {
    gAction = [](EPassPoint point, int32_t, int32_t) {
        if (point == EPassPoint::StartingStrip) Sleep(20);
    };
    host_.abort = []() -> bool { throw std::runtime_error("host gone"); };
    EXPECT_THROW(Run(1680, 4), std::runtime_error);
    ExpectNoWorkerLeft();
}

// Through the plug-in, without any seam: a page heavy enough that the first
// poll finds the workers busy. Only the plain search is that slow on it;
// the distance-assisted walk would finish before anyone could cancel.
TEST(ThreadedPlugIn, ACancelWhileWorkersRunReturnsNoErrorWithWholeStripsFlatted) {
    const int height = 2 * 24 * 42, width = 200;
    auto image = SolidImage(width, height, 3, kBlack);
    for (int y = 0; y < height; ++y) Paint(image, 0, y, kRed);
    SRunOptions options;
    options.depth = 256;
    options.white = true;
    options.processors = 2;
    options.plainSearch = true;
    options.prepare = [](sim::CHostSimulator& host) { host.abortTest = [] { return true; }; };
    const SPluginRun run = RunPlugin(RgbSpec(image), image, options);

    EXPECT_EQ(run.result, host::noErr);
    ASSERT_FALSE(run.progress.empty());
    const int32_t done = run.progress.back().done;
    EXPECT_LT(done, height);
    int flatted = 0;
    for (int band = 0; band < 2; ++band) {
        // Within each band the flatted rows are a run of whole strips from
        // the band's first row.
        int rows = 0;
        while (rows < height / 2 && run.output.At(1, band * height / 2 + rows, 0) == 255) ++rows;
        EXPECT_EQ(rows % 42, 0) << "band " << band;
        for (int y = rows; y < height / 2; ++y)
            ASSERT_EQ(run.output.At(1, band * height / 2 + y, 0), 0) << "band " << band << " row " << y;
        flatted += rows;
    }
    EXPECT_EQ(flatted, done);
}

TEST(ThreadedPlugIn, ProgressEndsWithTheWholeHeight) {
    const auto image = SolidImage(40, 130, 3, kBlack);
    SRunOptions options;
    options.processors = 4;
    options.depth = 20;
    const SPluginRun run = RunPlugin(RgbSpec(image), image, options);
    ASSERT_EQ(run.result, host::noErr);
    ASSERT_FALSE(run.progress.empty());
    EXPECT_EQ(run.progress.back().done, 130);
    for (const auto& report : run.progress) {
        EXPECT_EQ(report.total, 130);
        EXPECT_LE(report.done, 130);
    }
}

}  // namespace
