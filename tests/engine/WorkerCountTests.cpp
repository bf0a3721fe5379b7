// How many workers a run gets for the processor count the machine reports,
// seen from outside the plug-in as the threads alive at the first progress
// report; and what the host hears when the last band ends first.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"
#include "tests/engine/LiveThreads.h"

using namespace testing_support;
using threads_testing::LiveThreads;

namespace {

// Black with a red first column, searched the plain way at a great depth:
// every row is slow, so no band is done by the first poll however many
// workers share the page.
sim::CHostImage SlowPage(int width, int height) {
    auto page = SolidImage(width, height, 3, kBlack);
    for (int y = 0; y < height; ++y) Paint(page, 0, y, kRed);
    return page;
}

// ThreadSanitizer makes starting and running 127 threads several times
// slower; the bound still tells a prompt cancel from a finished page there.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr double kPromptCancelSeconds = 60.0;
#else
constexpr double kPromptCancelSeconds = 10.0;
#endif

struct SCountedRun {
    int16_t result = 0;
    int workersAtFirstReport = -1;
    int threadsLeft = -1;
    std::vector<sim::SProgressReport> progress;
    int abortCalls = 0;
};

// One Start that the user cancels at the first look at the abort test.
SCountedRun CancelledRun(const sim::CHostImage& page, int processors) {
    sim::CHostSimulator host;
    host.processors = processors;
    host.plainSearch = true;
    host.SetDocument(RgbSpec(page), page);
    host.GiveSettings(65535, std::nullopt);
    SCountedRun run;
    EXPECT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const int before = LiveThreads();
    host.onProgress = [&] {
        if (run.workersAtFirstReport < 0) run.workersAtFirstReport = LiveThreads() - before;
    };
    host.abortTest = [] { return true; };
    run.result = host.Call(host::filterSelectorStart);
    run.threadsLeft = LiveThreads() - before;
    run.progress = host.progress;
    run.abortCalls = host.abortCalls;
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    return run;
}

TEST(WorkerCount, ZeroMeansEightManyAreCappedAt127AndOneIsTheHostsThread) {
    const sim::CHostImage page = SlowPage(2800, 254);
    struct SCase {
        int reported;
        int workers;
    };
    for (const SCase c : {SCase{0, 8}, SCase{3, 3}, SCase{128, 127}, SCase{1000, 127}}) {
        const auto begin = std::chrono::steady_clock::now();
        const SCountedRun run = CancelledRun(page, c.reported);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        EXPECT_EQ(run.result, host::noErr) << c.reported;
        EXPECT_EQ(run.workersAtFirstReport, c.workers) << c.reported;
        EXPECT_EQ(run.threadsLeft, 0) << c.reported;
        // The strips in progress are left once the cancel has waited half
        // a second; the whole page would take many seconds.
        EXPECT_LT(seconds, kPromptCancelSeconds) << c.reported;
    }

    // One processor: the pass runs in the host's thread, which reports
    // each strip and asks the abort test after it. The page is narrow so
    // that even under a sanitizer a strip ends within the grace and the test
    // is not asked inside it.
    const SCountedRun single = CancelledRun(SlowPage(30, 100), 1);
    EXPECT_EQ(single.result, host::noErr);
    EXPECT_EQ(single.workersAtFirstReport, 0);
    ASSERT_EQ(single.progress.size(), 1u);
    EXPECT_EQ(single.progress[0].done, 42);
    EXPECT_EQ(single.abortCalls, 1);
}

// The host's thread watches only the last band's worker. When that one ends
// first, the others are joined without a word to the host, and then comes
// one final report.
TEST(WorkerCount, WhenTheLastBandEndsFirstTheHostHearsNothingUntilAllAreJoined) {
    // The top band deep in black, the bottom band without a black pixel.
    sim::CHostImage page = SolidImage(400, 800, 3, kGreen);
    for (int y = 0; y < 400; ++y)
        for (int x = 1; x < 400; ++x) Paint(page, x, y, kBlack);
    sim::CHostSimulator host;
    host.processors = 2;
    host.plainSearch = true;
    host.SetDocument(RgbSpec(page), page);
    host.GiveSettings(1000, std::nullopt);
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const int before = LiveThreads();
    const auto begin = std::chrono::steady_clock::now();
    std::vector<double> reportedAt;
    host.onProgress = [&] {
        reportedAt.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    };
    ASSERT_EQ(host.Call(host::filterSelectorStart), host::noErr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(LiveThreads(), before);
    ASSERT_GT(seconds, 0.3) << "the top band must outlast several polls for the test to show anything";
    // Every poll reports and asks; the one that saw the last worker end is
    // followed only by the final report, after the top band. How many polls
    // that took depends on how busy the machine is, so what is held is the
    // silence: polling on would have reported every few tenths of a second.
    ASSERT_EQ(host.progress.size(), size_t(host.abortCalls) + 1);
    ASSERT_GE(reportedAt.size(), 2u);
    const double lastPoll = reportedAt[reportedAt.size() - 2];
    EXPECT_GT(reportedAt.back() - lastPoll, 0.5 * seconds);
    EXPECT_EQ(host.progress.back().done, 800);
    EXPECT_EQ(host.progress.back().total, 800);
    ASSERT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
}

}  // namespace
