// A host that does not keep the parameters handle from one run to the next.
#include "tests/host/QuirkTesting.h"

namespace hostile {
namespace {

class DroppedHandle : public QuirkTest {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        quirks.dropsParametersHandle = true;
        Open(quirks);
    }
};

TEST_F(DroppedHandle, EachRunStandsOnItsOwnSources) {
    // Asked: the dialog's values travel in this run's handle.
    host->GiveSettings(kPageDepth, true);
    dialogsShown = true;
    sim::SRunResult run = host->RunFilter(true);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));
    // The record is packed: its handle member is copied, never bound to.
    const Handle parameters = host->Record().parameters;
    EXPECT_EQ(parameters, nullptr) << "the host was to drop it";

    // Repeated from the recorded action: no handle needed.
    host->SetDocument(host->ImageSpec(), page);
    run = host->RunFilter(false);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));
    ExpectNothingLeft();
}

// Without descriptor support the repeated run needs the handle it no
// longer has: it fails with the plug-in's own code before any pixel is
// asked for, and the host's image stays as it was.
TEST_F(DroppedHandle, ARunThatNeedsTheLostHandleFailsCleanly) {
    host->descriptorsPresent = false;
    dialogsShown = true;
    ASSERT_TRUE(host->RunFilter(true).Succeeded());
    host->SetDocument(host->ImageSpec(), page);
    host->advanceCalls = 0;

    const sim::SRunResult run = host->RunFilter(false);
    EXPECT_EQ(run.result, host::filterBadParameters) << Calls(run);
    EXPECT_EQ(host->advanceCalls, 0);
    EXPECT_EQ(host->Output(), page);
    EXPECT_EQ(host->dataSlot, 0);
    EXPECT_EQ(host->Handles().LiveCount(), 0u);
    ExpectNothingLeft();
}

}  // namespace
}  // namespace hostile
