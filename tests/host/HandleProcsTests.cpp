// Hosts whose handle procs are missing, or declare another version or fewer
// procs than the plug-in knows.
#include <string>

#include "tests/host/QuirkTesting.h"

namespace hostile {
namespace {

struct SProcsCase {
    const char* name;
    bool missing;
    int16_t version;
    int16_t count;
};

class OddHandleProcs : public QuirkTest, public ::testing::WithParamInterface<SProcsCase> {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        quirks.handleProcsMissing = GetParam().missing;
        quirks.handleProcsVersion = GetParam().version;
        quirks.handleProcsCount = GetParam().count;
        Open(quirks);
    }
};

// Played from an action, the run needs no handle: it flats, and the
// descriptors it read and recorded are disposed the way the host made them.
TEST_P(OddHandleProcs, AnActionPlaysAndIsRecorded) {
    for (int run = 0; run < 2; ++run) {
        host->GiveSettings(kPageDepth, true);
        const sim::SRunResult result = host->RunFilter(false);
        ASSERT_TRUE(result.Succeeded()) << Calls(result);
        EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));
        ASSERT_TRUE(host->Descriptors().Held()) << "nothing recorded";
        EXPECT_EQ(host->Descriptors().Held()->size(), 2u);
    }
    ExpectNothingLeft();
}

// With the dialog, the values travel in the parameters handle when the
// host's table can make one; when it cannot, Start has nothing to go on and
// says so, without touching the image.
TEST_P(OddHandleProcs, ADialogRunUsesTheHandleOrFailsCleanly) {
    host->GiveSettings(kPageDepth, true);
    dialogsShown = true;
    const sim::SRunResult run = host->RunFilter(true);
    if (GetParam().missing) {
        EXPECT_EQ(run.result, host::filterBadParameters) << Calls(run);
        EXPECT_EQ(host->Output(), page);
    } else {
        ASSERT_TRUE(run.Succeeded()) << Calls(run);
        EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));
    }
    EXPECT_EQ(host->dataSlot, 0);
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Hosts, OddHandleProcs,
                         ::testing::Values(SProcsCase{"Missing", true, 1, 8},
                                           SProcsCase{"VersionZero", false, 0, 8},
                                           SProcsCase{"VersionTwo", false, 2, 8},
                                           SProcsCase{"FourProcs", false, 1, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hostile
