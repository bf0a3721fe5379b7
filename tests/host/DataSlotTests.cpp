// Hosts that do not keep the plug-in's data slot: every call finds it empty,
// or finds a value the plug-in never put there.
#include <cstring>

#include "tests/host/PluginAllocations.h"
#include "tests/host/QuirkTesting.h"
#include "tests/support/TestImages.h"

namespace hostile {
namespace {

class DroppedSlot : public QuirkTest {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        quirks.dropsDataSlot = true;
        Open(quirks);
    }
};

// Each selector works on an object of its own; what one selector leaves for
// the next travels in the parameters handle, so the values still arrive.
TEST_F(DroppedSlot, RunsWithAndWithoutTheDialogFlatAsUsual) {
    for (bool dialog : {false, true}) {
        host->GiveSettings(kPageDepth, true);
        dialogsShown = dialogsShown || dialog;
        const sim::SRunResult run = host->RunFilter(dialog);
        ASSERT_TRUE(run.Succeeded()) << Calls(run);
        EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true)) << "dialog " << dialog;
        ExpectNothingLeft();
    }
}

// The object a selector leaves in a slot the host then forgets is freed by
// the next call, not lost: a long session must not grow.
TEST_F(DroppedSlot, ObjectsTheHostForgetsAreFreedByTheNextCall) {
    host->GiveSettings(kPageDepth, false);
    ASSERT_EQ(host->Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_NE(host->dataSlot, 0);
    const int64_t withOne = LivePluginAllocations();
    for (int i = 0; i < 20; ++i) ASSERT_EQ(host->Call(host::filterSelectorPrepare), host::noErr);
    EXPECT_EQ(LivePluginAllocations(), withOne) << "every forgotten object is still allocated";
    ASSERT_EQ(host->Call(host::filterSelectorFinish), host::noErr);
    ExpectNothingLeft();
}

// A slot the host never initialised holds whatever its memory held. The
// plug-in must neither follow nor free it: it is the host's memory.
TEST(ForeignSlot, AValueThePlugInNeverStoredIsLeftAlone) {
    sim::CHostSimulator host;
    const auto page = TestPage();
    host.SetDocument(testing_support::RgbSpec(page), page);
    // Host memory that looks like nothing the plug-in made.
    alignas(16) static unsigned char hostMemory[512];
    std::memset(hostMemory, 0xEE, sizeof hostMemory);
    host.dataSlot = reinterpret_cast<intptr_t>(hostMemory);

    ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    EXPECT_NE(host.dataSlot, reinterpret_cast<intptr_t>(hostMemory));
    for (unsigned char b : hostMemory) ASSERT_EQ(b, 0xEE);
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::noErr);
    EXPECT_EQ(host.Call(host::filterSelectorFinish), host::noErr);
    EXPECT_EQ(host.dataSlot, 0);
    EXPECT_EQ(host.Output(), ExpectedFlat(page, 256, false));
}

}  // namespace
}  // namespace hostile
