// Hosts built against older interfaces hand a shorter filter record, and
// hosts may build every run's record afresh: nothing past the record's end,
// and nothing of a discarded record, may be touched.
#include <cstdlib>
#include <string>
#include <tuple>

#include "tests/host/PluginAllocations.h"
#include "tests/host/QuirkTesting.h"

namespace hostile {
namespace {

class OlderRecord : public QuirkTest, public ::testing::WithParamInterface<std::tuple<size_t, int>> {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        quirks.shortRecordBytes = std::get<0>(GetParam());
        quirks.newRecordEachRun = true;
        Open(quirks);
        host->processors = std::get<1>(GetParam());
    }
};

TEST_P(OlderRecord, EverySelectorWorksWithinTheRecord) {
    dialogsShown = true;
    ASSERT_EQ(host->Call(host::filterSelectorAbout), host::noErr);
    host->GiveSettings(kPageDepth, true);
    sim::SRunResult run = host->RunFilter(true);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));

    // The next run has a record elsewhere; the old one is off limits.
    host->SetDocument(host->ImageSpec(), page);
    run = host->RunFilter(false);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));
    ExpectNothingLeft();
}

// An object an exception left behind holds the address of a record the host
// has since discarded; About, and the run after it, must not look there.
TEST_P(OlderRecord, AboutAfterAnExceptionLeavesTheDiscardedRecordAlone) {
    ASSERT_EQ(host->Call(host::filterSelectorPrepare), host::noErr);
    host->onDelivered = [] { FailNextPluginAllocations(1); };
    ASSERT_EQ(host->Call(host::filterSelectorStart), host::filterBadParameters);
    ASSERT_EQ(PendingPluginAllocationFailures(), 0) << "the pass never allocated";
    ASSERT_NE(host->dataSlot, 0) << "the object stays after an exception";
    host->onDelivered = nullptr;
    host->EndRun();

    dialogsShown = true;
    EXPECT_EQ(host->Call(host::filterSelectorAbout), host::noErr);
    EXPECT_EQ(host->dataSlot, 0);
    host->SetDocument(host->ImageSpec(), page);
    EXPECT_TRUE(host->RunFilter(false).Succeeded());
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Sizes, OlderRecord,
                         ::testing::Combine(::testing::Values(sim::kOlderRecordBytes,
                                                              sim::kRecordEndingAtIccProfiles,
                                                              sizeof(FilterRecord)),
                                            ::testing::Values(1, 2)),
                         [](const auto& info) {
                             return std::to_string(std::get<0>(info.param)) + "Bytes" +
                                    std::to_string(std::get<1>(info.param)) + "Threads";
                         });

}  // namespace
}  // namespace hostile
