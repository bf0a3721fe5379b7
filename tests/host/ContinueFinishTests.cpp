// Hosts that go on after a failed or cancelled Start, and hosts that keep
// calling Continue while the rectangles ask for pixels.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "tests/host/PluginAllocations.h"
#include "tests/host/QuirkTesting.h"

namespace hostile {
namespace {

using host::filterSelectorContinue;
using host::filterSelectorFinish;
using host::filterSelectorPrepare;
using host::filterSelectorStart;

class Persistent : public QuirkTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        quirks.finishesAfterFailure = true;
        quirks.continuesWhileRectsNonEmpty = true;
        Reopen(quirks);
    }
    // A host with these quirks, on the processor count of the test.
    void Reopen(const sim::SHostQuirks& quirks) {
        Open(quirks);
        host->processors = GetParam();
    }
};

TEST_P(Persistent, FinishAfterARefusedRequestSucceedsAndTouchesNothing) {
    host->advance = sim::EAdvance::Fail;
    host->advanceError = host::memFullErr;
    const sim::SRunResult run = host->RunFilter(false);
    EXPECT_EQ(run.result, host::memFullErr);
    // Start cleared the rectangles, so nothing is continued.
    EXPECT_EQ(Selectors(run),
              (std::vector<int16_t>{filterSelectorPrepare, filterSelectorStart, filterSelectorFinish}));
    EXPECT_EQ(run.calls.back().second, host::noErr);
    EXPECT_EQ(host->Output(), page);
    EXPECT_EQ(host->dataSlot, 0);
    ExpectNothingLeft();
}

// An exception in the pass leaves the request standing. The host delivers
// it again and calls Continue, which must only end the request; then
// Finish. The object the exception left is freed on the way.
TEST_P(Persistent, ContinueAndFinishAfterAnExceptionInTheirPass) {
    host->onDelivered = [] { FailNextPluginAllocations(1); };
    const sim::SRunResult run = host->RunFilter(false);
    EXPECT_EQ(PendingPluginAllocationFailures(), 0) << "the pass never allocated";
    EXPECT_EQ(run.result, host::filterBadParameters) << Calls(run);
    EXPECT_EQ(Selectors(run), (std::vector<int16_t>{filterSelectorPrepare, filterSelectorStart,
                                                    filterSelectorContinue, filterSelectorFinish}));
    EXPECT_EQ(run.calls[2].second, host::noErr);
    EXPECT_EQ(run.calls[3].second, host::noErr);
    EXPECT_EQ(host->Record().inRect.bottom, 0);
    EXPECT_EQ(host->dataSlot, 0);
    ExpectNothingLeft();
}

// A host that sets up every call's rectangles itself keeps finding them
// non-empty: each Continue empties them again and writes no pixel.
TEST_P(Persistent, RepeatedContinuesAfterACancelWriteNothing) {
    sim::SHostQuirks quirks = host->Quirks();
    quirks.refilledContinues = 5;
    Reopen(quirks);
    host->GiveSettings(kPageDepth, true);
    host->abortTest = [] { return true; };

    const sim::SRunResult run = host->RunFilter(false);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    const auto selectors = Selectors(run);
    EXPECT_EQ(std::count(selectors.begin(), selectors.end(), filterSelectorContinue), 5);
    EXPECT_EQ(selectors.back(), filterSelectorFinish);

    // The cancel came at the first look: rows no strip reached keep the
    // host's pixels, and the Continues added nothing to what Start wrote.
    const sim::CHostImage flat = ExpectedFlat(page, kPageDepth, true);
    int flattedRows = 0;
    for (int y = 0; y < page.Height(); ++y) {
        bool same = true, untouched = true;
        for (int x = 0; x < page.Width(); ++x)
            for (int k = 0; k < 3; ++k) {
                same = same && host->Output().At(x, y, k) == flat.At(x, y, k);
                untouched = untouched && host->Output().At(x, y, k) == page.At(x, y, k);
            }
        ASSERT_TRUE(same || untouched) << "row " << y << " is neither flatted nor the host's";
        if (same && !untouched) ++flattedRows;
    }
    // Workers may all be done before the first look; one thread stops
    // after its first strip.
    if (GetParam() == 1) {
        EXPECT_EQ(flattedRows, 42);
    }
    EXPECT_EQ(host->dataSlot, 0);
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(SingleAndThreaded, Persistent, ::testing::Values(1, 3));

}  // namespace
}  // namespace hostile
