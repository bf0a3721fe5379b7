// A cancel may come at any strip, on one thread or on any number of
// workers: whatever was not reached keeps the host's pixels, what was
// reached is whole strips, and no worker is left running once Start returns.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"
#include "tests/engine/LiveThreads.h"

using namespace testing_support;
using threads_testing::LiveThreads;

namespace {

constexpr int kStrip = 42;

// How the plug-in runs the pass: on this many processors, with the plain
// search or the distance-assisted walk.
struct SPass {
    int processors = 1;
    bool plainSearch = false;
};

// Black with a red first column: every row changes when it is flatted, and
// each black pixel searches out to its distance from the left edge.
sim::CHostImage Page(int width, int height) {
    auto page = SolidImage(width, height, 3, kBlack);
    for (int y = 0; y < height; ++y) Paint(page, 0, y, kRed);
    return page;
}

struct SCancelledRun {
    int16_t result = 0;
    sim::CHostImage output;
    int32_t lastReport = -1;
    int threadsBefore = 0;
    int threadsAfter = 0;
    bool guardsIntact = false;
};

// One Start that the user cancels at the `cancelAt`-th look at the abort
// test (never when 0).
SCancelledRun StartCancelledAt(const sim::CHostImage& page, int cancelAt, SPass pass) {
    sim::CHostSimulator host;
    host.processors = pass.processors;
    host.plainSearch = pass.plainSearch;
    host.SetDocument(RgbSpec(page), page);
    host.GiveSettings(256, true);
    host.abortTest = [&host, cancelAt] { return cancelAt > 0 && host.abortCalls >= cancelAt; };
    SCancelledRun run;
    EXPECT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    run.threadsBefore = LiveThreads();
    run.result = host.Call(host::filterSelectorStart);
    run.threadsAfter = LiveThreads();
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    run.output = host.Output();
    if (!host.progress.empty()) run.lastReport = host.progress.back().done;
    run.guardsIntact = host.guardsIntact;
    return run;
}

bool RowEquals(const sim::CHostImage& a, const sim::CHostImage& b, int y) {
    for (int x = 0; x < a.Width(); ++x)
        for (int k = 0; k < a.Planes(); ++k)
            if (a.At(x, y, k) != b.At(x, y, k)) return false;
    return true;
}

// Rows from `first` that match the complete flatting, up to `end`; every
// row after them must be the host's own.
int FlattedPrefix(const SCancelledRun& run, const sim::CHostImage& page, const sim::CHostImage& flat,
                  int first, int end) {
    int y = first;
    while (y < end && RowEquals(run.output, flat, y)) ++y;
    for (int rest = y; rest < end; ++rest)
        EXPECT_TRUE(RowEquals(run.output, page, rest))
            << "row " << rest << " is neither flatted nor the host's";
    return y - first;
}

TEST(CancelEverywhere, OneThreadStopsAfterEachStripInTurn) {
    const auto page = Page(24, 5 * kStrip + 11);
    const SCancelledRun whole = StartCancelledAt(page, 0, SPass{1});
    const int strips = 6;
    for (int strip = 1; strip <= strips; ++strip) {
        SCOPED_TRACE("cancel after strip " + std::to_string(strip));
        const SCancelledRun run = StartCancelledAt(page, strip, SPass{1});
        EXPECT_EQ(run.result, host::noErr);
        const int reached = std::min(strip * kStrip, page.Height());
        EXPECT_EQ(FlattedPrefix(run, page, whole.output, 0, page.Height()), reached);
        EXPECT_EQ(run.lastReport, reached);
        EXPECT_EQ(run.threadsAfter, run.threadsBefore);
        EXPECT_TRUE(run.guardsIntact);
    }
}

// A flatted row of the page has no black pixel left; a row the pass did not
// reach is still the host's.
int ReachedRows(const SCancelledRun& run, const sim::CHostImage& page, int first, int end) {
    auto flatted = [&](int y) {
        for (int x = 0; x < page.Width(); ++x)
            if (run.output.At(x, y, 0) == 0 && run.output.At(x, y, 1) == 0 && run.output.At(x, y, 2) == 0)
                return false;
        return true;
    };
    int y = first;
    while (y < end && flatted(y)) ++y;
    for (int rest = y; rest < end; ++rest)
        EXPECT_TRUE(RowEquals(run.output, page, rest))
            << "row " << rest << " is neither flatted nor the host's";
    return y - first;
}

// A page for which a threaded pass takes at least `seconds` in this build
// on this machine, found by doubling its width: how the work grows with the
// width depends on the search the engine uses, and a sanitizer build is
// many times slower than a release build.
sim::CHostImage PageTaking(double seconds, int height, bool plainSearch) {
    for (int width = 128;; width *= 2) {
        auto page = Page(width, height);
        const auto begin = std::chrono::steady_clock::now();
        StartCancelledAt(page, 0, SPass{2, plainSearch});
        const double taken = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (taken >= seconds || width >= 8192) return page;
    }
}

// Workers are asked to stop whenever the host's thread looks at the abort
// test, every 100 ms, so each poll of a pass that needs several is a cancel
// point. Each band then holds whole strips from its first row, and the rest
// is the host's. The page takes a second when measured, so that even if the
// measurement ran on a busy machine and later runs get both cores to
// themselves, the second poll still finds work left. Only the plain search
// is slow enough on a page of reasonable size; the polls and the stopping
// are the same for the distance-assisted walk.
TEST(CancelEverywhere, EveryWorkerCountStopsAtEachPoll) {
    const auto page = PageTaking(1.0, 8 * kStrip * 2, true);
    for (int workers = 2; workers <= 8; ++workers) {
        const int q = page.Height() / workers;
        bool stoppedEarly = false;
        for (int poll = 1; poll <= 2; ++poll) {
            SCOPED_TRACE(std::to_string(workers) + " workers, cancel at poll " + std::to_string(poll));
            const SCancelledRun run = StartCancelledAt(page, poll, SPass{workers, true});
            EXPECT_EQ(run.result, host::noErr);
            EXPECT_EQ(run.threadsAfter, run.threadsBefore) << "a worker outlived Start";
            EXPECT_TRUE(run.guardsIntact);
            int flatted = 0;
            for (int band = 0; band < workers; ++band) {
                const int first = band * q, end = band == workers - 1 ? page.Height() : first + q;
                const int rows = ReachedRows(run, page, first, end);
                EXPECT_TRUE(rows % kStrip == 0 || rows == end - first) << "band " << band << ": " << rows;
                flatted += rows;
            }
            EXPECT_EQ(run.lastReport, flatted);
            if (flatted == page.Height()) break;
            stoppedEarly = true;
        }
        EXPECT_TRUE(stoppedEarly) << workers << " workers were all done before the first poll";
    }
}

}  // namespace
