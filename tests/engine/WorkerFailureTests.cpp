// Memory running out inside a worker: Start fails with the plug-in's own
// code, every worker has been joined by then, and the host's next calls
// find a plug-in that works.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"
#include "tests/engine/LiveThreads.h"
#include "tests/engine/ThreadAllocations.h"

using namespace testing_support;
using namespace threads_testing;

namespace {

class WorkerFailure : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    void TearDown() override { StopFailingAllocations(); }
};

// The nth allocation of any worker fails: the first ones build a worker's
// search, later ones grow it in the middle of a band.
TEST_P(WorkerFailure, StartFailsWithEveryWorkerJoined) {
    const int nth = std::get<1>(GetParam());
    // Deep black everywhere but the first column: every worker's search
    // grows for most of its band.
    auto page = SolidImage(100, 8 * 42, 3, kBlack);
    for (int y = 0; y < page.Height(); ++y) Paint(page, 0, y, kGreen);

    sim::CHostSimulator host;
    host.processors = std::get<0>(GetParam());
    host.SetDocument(RgbSpec(page), page);
    host.onDelivered = [nth] { FailWorkerAllocation(nth); };
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const int before = LiveThreads();
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
    EXPECT_EQ(LiveThreads(), before) << "a worker outlived the failed Start";
    StopFailingAllocations();
    ASSERT_TRUE(WorkerAllocationFailed()) << "the workers made fewer than " << nth << " allocations";
    EXPECT_TRUE(host.guardsIntact);
    EXPECT_EQ(host.Record().inRect.bottom, page.Height()) << "an exception leaves the request standing";

    // The host ends the run as it likes; the next run flats normally.
    host.onDelivered = nullptr;
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
    const auto small = ImageFromRows({"g##", "#.#"});
    host.SetDocument(RgbSpec(small), small);
    const sim::SRunResult again = host.RunFilter(false);
    EXPECT_TRUE(again.Succeeded());
    EXPECT_EQ(host.Output().At(1, 0, 1), 255);
}

INSTANTIATE_TEST_SUITE_P(WorkersAndAllocations, WorkerFailure,
                         ::testing::Combine(::testing::Values(2, 4, 8), ::testing::Values(1, 3, 12)),
                         [](const auto& info) {
                             return std::to_string(std::get<0>(info.param)) + "Workers" +
                                    std::to_string(std::get<1>(info.param)) + "thAllocation";
                         });

}  // namespace
