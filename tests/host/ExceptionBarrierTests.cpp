// Exceptions never leave PluginMain: they become filterBadParameters, and the
// object they leave behind is never used again.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/HostSimulator.h"
#include "tests/host/AllocationFailure.h"
#include "tests/support/TestImages.h"

using namespace testing_support;

namespace {

class ExceptionBarrier : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        host.processors = GetParam();
        // All black and wide enough that the pass must allocate: worker
        // threads, or search rings beyond the prebuilt ones.
        auto image = SolidImage(64, 64, 3, kBlack);
        host.SetDocument(RgbSpec(image), image);
        host.onDelivered = [] { FailNextAllocations(1); };
    }
    void TearDown() override { FailNextAllocations(0); }
    sim::CHostSimulator host;
};

TEST_P(ExceptionBarrier, AllocationFailureInStartBecomesBadParameters) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const intptr_t object = host.dataSlot;
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
    EXPECT_EQ(PendingAllocationFailures(), 0) << "the pass never allocated";
    // The object stays where it was, as hosts expect after an error result...
    EXPECT_EQ(host.dataSlot, object);
    host.onDelivered = nullptr;
    // ...and the host's Finish that follows is answered by a fresh object.
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
    EXPECT_TRUE(host.guardsIntact);
}

TEST_P(ExceptionBarrier, AboutAfterAnExceptionWorks) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
    host.onDelivered = nullptr;
    EXPECT_EQ(host.Call(host::filterSelectorAbout), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_P(ExceptionBarrier, NextRunAfterAnExceptionFlatsNormally) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
    host.onDelivered = nullptr;
    // A host that does not clear the slot starts its next run with it.
    auto image = ImageFromRows({"r#b"});
    host.SetDocument(RgbSpec(image), image);
    EXPECT_TRUE(host.RunFilter(false).Succeeded());
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_P(ExceptionBarrier, HostThatDropsTheSlotLosesNoMemoryOrState) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
    host.onDelivered = nullptr;
    host.dataSlot = 0;
    EXPECT_TRUE(host.RunFilter(false).Succeeded());
}

INSTANTIATE_TEST_SUITE_P(SingleAndThreaded, ExceptionBarrier, ::testing::Values(1, 2));

TEST(ExceptionBarrierConstruction, FailedConstructionLeavesSlotEmpty) {
    sim::CHostSimulator host;
    auto image = SolidImage(4, 4, 3, kWhite);
    host.SetDocument(RgbSpec(image), image);
    FailNextAllocations(1);
    EXPECT_EQ(host.Call(host::filterSelectorPrepare), host::filterBadParameters);
    FailNextAllocations(0);
    EXPECT_EQ(host.dataSlot, 0);
}

}  // namespace
