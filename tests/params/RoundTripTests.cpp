// Values set in one run reach the next ones through the sources that
// outlive a run: the preferences file, the parameters handle and the
// descriptor the host recorded.
#include <cstdlib>

#include "tests/params/ParamsTesting.h"
#include "ui/linux/DialogScript.h"

using namespace params_testing;
namespace fs = std::filesystem;

namespace {

using RoundTrip = ParamsTest;

// What the user does in the parameters dialog, for as long as it lives.
class CDialogAnswer {
public:
    explicit CDialogAnswer(const char* script) { setenv(headless::kDialogScriptVariable, script, 1); }
    ~CDialogAnswer() { unsetenv(headless::kDialogScriptVariable); }
    CDialogAnswer(const CDialogAnswer&) = delete;
    CDialogAnswer& operator=(const CDialogAnswer&) = delete;
};

TEST_F(RoundTrip, ADescriptorsValuesReachLaterRunsThroughEachSource) {
    // A run that asks the user, played from an action with depth 42 and
    // paint-white; the dialog confirms what it shows.
    host.Descriptors().Give({Depth(42), White(true)});
    ASSERT_TRUE(host.RunFilter(true).Succeeded());
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(42, kPaintWhite));
    ASSERT_TRUE(HandleBlock(host));
    EXPECT_EQ(HandleBlock(host)->depth, 42);
    EXPECT_EQ(HandleBlock(host)->remainder, kPaintWhite);
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));

    // Repeated by a host that recorded nothing: the file carries the values.
    host.Descriptors().Clear();
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));

    // Repeated from the recorded action while the file says otherwise: the
    // descriptor wins over the file.
    WriteFile(PrefsFile(host), PrefsLine(5, kLeaveBlack));
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));

    // A Start that wants the dialog's values finds them in the handle,
    // over both the file and a descriptor.
    host.Descriptors().Give({Depth(6), White(false)});
    SetPlayInfo(host::plugInDialogDisplay);
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));
}

TEST_F(RoundTrip, TheFileCarriesValuesIntoTheNextHostSession) {
    host.Descriptors().Give({Depth(300), White(false)});
    ASSERT_TRUE(host.RunFilter(true).Succeeded());

    // Another host process of the same user: a new handle, no descriptor.
    sim::CHostSimulator next;
    auto image = testing_support::ImageFromRows({"r#b"});
    next.SetDocument(testing_support::RgbSpec(image), image);
    next.prefsFolder = host.prefsFolder;
    ASSERT_TRUE(next.RunFilter(true).Succeeded());
    EXPECT_EQ(Recorded(next), (SRecorded{300, false}));
    ASSERT_TRUE(HandleBlock(next));
    EXPECT_EQ(HandleBlock(next)->depth, 300);
}

// Every depth a descriptor may carry travels unchanged through the handle:
// only the dialog bounds it.
TEST_F(RoundTrip, DepthsOutsideTheDialogsRangeTravelUnchanged) {
    for (int32_t depth : {0, 1, 301, 65535}) {
        SetPlayInfo(host::plugInDialogSilent);
        host.Descriptors().Give({Depth(depth), White(true)});
        ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr) << depth;
        SetPlayInfo(host::plugInDialogDisplay);
        ASSERT_EQ(PrepareAndStart(), host::noErr) << depth;
        EXPECT_EQ(Recorded(host), (SRecorded{depth, true})) << depth;
        host.Call(host::filterSelectorFinish);
    }
}

// The user's answer overrides the file and the descriptor, and reaches
// Start and later runs through the handle and the file.
TEST_F(RoundTrip, TheDialogsValuesReachLaterRunsThroughTheHandleAndTheFile) {
    WriteFile(PrefsFile(host), PrefsLine(99, kLeaveBlack));
    host.Descriptors().Give({Depth(7), White(false)});
    {
        CDialogAnswer answer("depth=42; white=1; ok");
        ASSERT_TRUE(host.RunFilter(true).Succeeded());
    }
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(42, kPaintWhite));
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));

    // A later Start that wants the dialog's values takes the handle over a
    // descriptor the host plays.
    host.Descriptors().Give({Depth(8), White(false)});
    SetPlayInfo(host::plugInDialogDisplay);
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));
    host.Call(host::filterSelectorFinish);

    // A repeat without descriptor goes by the file.
    host.Descriptors().Clear();
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));
}

// After a cancel the handle still holds a valid record, of the values from
// before the dialog, and a Start that needs it runs with them.
TEST_F(RoundTrip, ACancelledDialogLeavesAHandleStartCanUse) {
    WriteFile(PrefsFile(host), PrefsLine(99, kLeaveBlack));
    SetPlayInfo(host::plugInDialogDisplay);
    host.Descriptors().Give({White(true)});
    {
        CDialogAnswer answer("depth=5; white=0; cancel");
        EXPECT_EQ(host.Call(host::filterSelectorParameters), host::userCanceledErr);
    }
    EXPECT_EQ(host.dataSlot, 0);
    EXPECT_EQ(host.Handles().Size(Parameters(host.Record())), 12);
    auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->signature, kPluginCode);
    EXPECT_EQ(block->version, kParamsVersion);
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(99, kLeaveBlack));

    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{99, true}));
}

}  // namespace
