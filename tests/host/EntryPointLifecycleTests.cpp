// The data slot and the filter object across host calls, through the real
// plug-in library.
#include <gtest/gtest.h>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"

using namespace testing_support;

namespace {

class EntryPointLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        auto image = SolidImage(8, 8, 3, kWhite);
        host.SetDocument(RgbSpec(image), image);
    }
    sim::CHostSimulator host;
};

TEST_F(EntryPointLifecycle, AboutAsFirstCallLeavesSlotEmpty) {
    EXPECT_EQ(host.Call(host::filterSelectorAbout), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, OneObjectServesAWholeRun) {
    EXPECT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    const intptr_t object = host.dataSlot;
    ASSERT_NE(object, 0);
    for (int16_t selector :
         {host::filterSelectorPrepare, host::filterSelectorStart, host::filterSelectorContinue}) {
        EXPECT_EQ(host.Call(selector), host::noErr) << "selector " << selector;
        EXPECT_EQ(host.dataSlot, object) << "selector " << selector;
    }
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, PrepareCanOpenARun) {
    EXPECT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const intptr_t object = host.dataSlot;
    ASSERT_NE(object, 0);
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::noErr);
    EXPECT_EQ(host.dataSlot, object);
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, ContinueWithEmptySlotKeepsItsObject) {
    host.Record().inRect = Rect{1, 2, 3, 4};
    host.Record().outRect = Rect{5, 6, 7, 8};
    EXPECT_EQ(host.Call(host::filterSelectorContinue), host::noErr);
    EXPECT_NE(host.dataSlot, 0);
    const Rect& in = host.Record().inRect;
    const Rect& out = host.Record().outRect;
    EXPECT_EQ(in.top | in.left | in.bottom | in.right | out.top | out.left | out.bottom | out.right, 0);
}

TEST_F(EntryPointLifecycle, FinishWithEmptySlotSucceeds) {
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, SelectorsOutOfRangeFailAndClearTheSlot) {
    for (int16_t selector : {int16_t(6), int16_t(-1), int16_t(32767), int16_t(-32768)}) {
        EXPECT_EQ(host.Call(selector), host::filterBadParameters) << selector;
        EXPECT_EQ(host.dataSlot, 0) << selector;
    }
    // Also in the middle of a run: the run's object goes with it.
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    EXPECT_EQ(host.Call(6), host::filterBadParameters);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, MissingBasicSuiteTouchesNothing) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const intptr_t object = host.dataSlot;
    host.basicSuitePresent = false;
    for (int16_t selector :
         {host::filterSelectorAbout, host::filterSelectorStart, host::filterSelectorFinish}) {
        EXPECT_EQ(host.Call(selector), host::filterBadParameters);
        EXPECT_EQ(host.dataSlot, object);
    }
    host.basicSuitePresent = true;
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, FailingStartDestroysTheObject) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    host.advance = sim::EAdvance::Fail;
    host.advanceError = host::memFullErr;
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::memFullErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, RunsRepeatWithFreshObjects) {
    for (int run = 0; run < 3; ++run) {
        sim::SRunResult result = host.RunFilter(false);
        EXPECT_TRUE(result.Succeeded()) << "run " << run;
        EXPECT_EQ(host.dataSlot, 0);
    }
}

// An object whose records the host may have discarded is never used again:
// a later About, or a call with another filter record, gets a fresh object.
TEST_F(EntryPointLifecycle, ObjectOfAnEndedRunIsReplaced) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    const intptr_t runObject = host.dataSlot;
    ASSERT_NE(runObject, 0);
    // The host forgets to finish and opens its About box instead.
    EXPECT_EQ(host.Call(host::filterSelectorAbout), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
}

TEST_F(EntryPointLifecycle, AnotherFilterRecordGetsAnotherObject) {
    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_NE(host.dataSlot, 0);

    // A second host session with its own record but the same slot: the
    // plug-in must not act on the first record. It clears this record's
    // rectangles, which it can only do through the record it was given.
    sim::CHostSimulator other;
    auto image = SolidImage(4, 4, 3, kWhite);
    other.SetDocument(RgbSpec(image), image);
    other.dataSlot = host.dataSlot;
    other.Record().inRect = Rect{0, 0, 4, 4};
    host.Record().inRect = Rect{0, 0, 8, 8};
    EXPECT_EQ(other.Call(host::filterSelectorContinue), host::noErr);
    EXPECT_EQ(other.Record().inRect.bottom, 0);
    EXPECT_EQ(host.Record().inRect.bottom, 8);
    EXPECT_EQ(other.Call(host::filterSelectorFinish), host::noErr);
}

}  // namespace
