// Hosts that hand every selector of a run a filter record of its own, the
// one of the call before discarded: what the earlier steps of the run
// loaded must still reach Start, and no discarded record may be touched.
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/host/QuirkTesting.h"
#include "params/Prefs.h"
#include "params/VandrelParams.h"

namespace hostile {
namespace {

class RecordPerCall : public QuirkTest {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        quirks.newRecordEachCall = true;
        Open(quirks);
    }
    void WritePrefs(int depth) {
        std::ofstream(std::filesystem::path(host->prefsFolder) / kPrefsFileName)
            << kPluginCode << " 1 " << depth << " B ";
    }
    // The values of the last descriptor the plug-in recorded.
    std::pair<int, bool> Recorded() {
        int depth = -1;
        bool white = false;
        if (host->Descriptors().written.empty()) return {depth, white};
        for (const sim::SDescriptorItem& item : host->Descriptors().written.back()) {
            if (item.key == host::FourCC("MxLv")) depth = item.integer;
            if (item.key == host::FourCC("SkCo")) white = item.boolean;
        }
        return {depth, white};
    }
};

TEST_F(RecordPerCall, ThePreferencesPrepareLoadedReachStart) {
    WritePrefs(42);
    host->Descriptors().Give({sim::SDescriptorItem::Bool(host::FourCC("SkCo"), true)});
    const sim::SRunResult run = host->RunFilter(false);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(Recorded(), std::make_pair(42, true));
    EXPECT_EQ(host->Output(), ExpectedFlat(page, 42, true));
    EXPECT_EQ(host->dataSlot, 0);
    ExpectNothingLeft();
}

TEST_F(RecordPerCall, TheNextRunStillStartsFromTheDefaults) {
    WritePrefs(42);
    host->Descriptors().Give({sim::SDescriptorItem::Bool(host::FourCC("SkCo"), true)});
    ASSERT_TRUE(host->RunFilter(false).Succeeded());

    // The next run skips Prepare's file: a Start that begins a run again is
    // not a step of the last one, whatever record it comes with.
    std::filesystem::remove(std::filesystem::path(host->prefsFolder) / kPrefsFileName);
    host->SetDocument(host->ImageSpec(), page);
    host->Descriptors().Give({sim::SDescriptorItem::Bool(host::FourCC("SkCo"), false)});
    ASSERT_EQ(host->Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_EQ(host->Call(host::filterSelectorStart), host::noErr);
    EXPECT_EQ(Recorded(), std::make_pair(int(kDefaultMaxDepth), false));
    ASSERT_EQ(host->Call(host::filterSelectorFinish), host::noErr);
    ExpectNothingLeft();
}

TEST_F(RecordPerCall, PrepareSkippedOrMadeTwiceKeepsWhatTheRunLoaded) {
    // Prepare twice, each with a record of its own: the object in the slot
    // carries on, and the file Prepare loaded still reaches Start.
    WritePrefs(42);
    host->Descriptors().Give({sim::SDescriptorItem::Bool(host::FourCC("SkCo"), false)});
    ASSERT_EQ(host->Call(host::filterSelectorPrepare), host::noErr);
    ASSERT_EQ(host->Call(host::filterSelectorPrepare), host::noErr);
    std::filesystem::remove(std::filesystem::path(host->prefsFolder) / kPrefsFileName);
    ASSERT_EQ(host->Call(host::filterSelectorStart), host::noErr);
    EXPECT_EQ(Recorded().first, 42);

    // Start straight after Start, Prepare skipped: still the same run's object.
    host->SetDocument(host->ImageSpec(), page);
    host->Descriptors().Give({sim::SDescriptorItem::Bool(host::FourCC("SkCo"), false)});
    ASSERT_EQ(host->Call(host::filterSelectorStart), host::noErr);
    EXPECT_EQ(Recorded().first, 42);
    EXPECT_EQ(host->Output(), ExpectedFlat(page, 42, false));
    ASSERT_EQ(host->Call(host::filterSelectorFinish), host::noErr);
    ExpectNothingLeft();
}

}  // namespace
}  // namespace hostile
