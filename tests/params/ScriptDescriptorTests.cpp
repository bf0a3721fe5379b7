// The parameters in the host's action descriptors, through the real
// plug-in: what Start reads, what it records, and what a host that plays
// or records actions sees in between.
#include <cstddef>

#include "tests/params/ParamsTesting.h"

using namespace params_testing;

namespace {

using Descriptor = ParamsTest;

TEST_F(Descriptor, StartRecordsPaintWhiteThenDepthAndMakesTheDialogOptional) {
    host.Descriptors().Give({Depth(17), White(true)});
    host.Descriptors().parameters.recordInfo = host::plugInDialogNone;
    ASSERT_EQ(PrepareAndStart(), host::noErr);

    auto held = host.Descriptors().Held();
    ASSERT_TRUE(held);
    ASSERT_EQ(held->size(), 2u);
    EXPECT_EQ((*held)[0], White(true));
    EXPECT_EQ((*held)[1], Depth(17));
    EXPECT_EQ(host.Descriptors().parameters.recordInfo, host::plugInDialogOptional);

    // The put order as the host saw it, and every writer and reader closed.
    const auto& log = host.Descriptors().log;
    auto at = [&](const std::string& entry) {
        return std::find(log.begin(), log.end(), entry) - log.begin();
    };
    EXPECT_LT(at("openWrite"), at("putBoolean SkCo"));
    EXPECT_LT(at("putBoolean SkCo"), at("putInteger MxLv"));
    EXPECT_LT(at("putInteger MxLv"), at("closeWrite"));
    EXPECT_LT(at("closeWrite"), std::ptrdiff_t(log.size()));
    EXPECT_EQ(host.Descriptors().OpenReaders(), 0u);
    EXPECT_EQ(host.Descriptors().OpenWriters(), 0u);
}

TEST_F(Descriptor, OnlyPaintWhiteKeepsTheDepthFromThePreferences) {
    WriteFile(PrefsFile(host), PrefsLine(42, kLeaveBlack));
    host.Descriptors().Give({White(true)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));
}

TEST_F(Descriptor, DepthKeepsItsLowSixteenBitsUnclamped) {
    struct SCase {
        int32_t given;
        int32_t recorded;
    };
    for (SCase c : {SCase{-1, 65535}, SCase{65536 + 5, 5}, SCase{0, 0}, SCase{301, 301}, SCase{-65536, 0}}) {
        host.Descriptors().Give({Depth(c.given), White(false)});
        ASSERT_EQ(PrepareAndStart(), host::noErr) << c.given;
        EXPECT_EQ(Recorded(host), (SRecorded{c.recorded, false})) << c.given;
        host.Call(host::filterSelectorFinish);
    }
}

TEST_F(Descriptor, PaintWhiteFalseOverridesAWhitePreference) {
    WriteFile(PrefsFile(host), PrefsLine(9, kPaintWhite));
    host.Descriptors().Give({White(false)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{9, false}));
}

// A key of another type than the plug-in expects is refused by the host's
// get proc; the field keeps what it had rather than whatever was in the
// variable the proc did not fill.
TEST_F(Descriptor, KeysOfAnotherTypeLeaveTheirFieldsAlone) {
    WriteFile(PrefsFile(host), PrefsLine(33, kPaintWhite));
    host.Descriptors().Give(
        {SDescriptorItem::Float(kKeyMaxDepth, 12.0), SDescriptorItem::Text(kKeyPaintWhite, "no")});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{33, true}));
}

TEST_F(Descriptor, UnknownKeysAreSkippedAndTheKnownOnesAfterThemRead) {
    host.Descriptors().Give({SDescriptorItem::Integer(host::FourCC("Rdus"), 5),
                             SDescriptorItem::Enumerated(host::FourCC("Mode"), host::FourCC("Mode"), 7),
                             Depth(64), SDescriptorItem::Text(host::FourCC("Name"), "flat"), White(true)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{64, true}));
    // Nothing was asked of the keys the plug-in does not know.
    const auto& log = host.Descriptors().log;
    EXPECT_EQ(std::count(log.begin(), log.end(), "getInteger"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "getEnumerated"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "getText"), 0);
}

TEST_F(Descriptor, ReadDescriptorIsDisposedAndCleared) {
    host.Descriptors().Give({Depth(5)});
    SetPlayInfo(host::plugInDialogSilent);
    const size_t before = host.Handles().LiveCount();
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(host.Descriptors().parameters.descriptor, nullptr);
    // The descriptor went, the parameters handle came.
    EXPECT_EQ(host.Handles().LiveCount(), before);
    ASSERT_NE(Parameters(host.Record()), nullptr);
    EXPECT_EQ(host.Descriptors().OpenReaders(), 0u);
}

TEST_F(Descriptor, NoDescriptorMeansNothingReadAndTheDialogRuleStillHolds) {
    // Nothing to read: Start with "display" must go to the handle...
    SetPlayInfo(host::plugInDialogDisplay);
    SetHandleBlock(host, {.depth = 77, .remainder = kPaintWhite});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{77, true}));
    host.Call(host::filterSelectorFinish);

    // ...and with "don't display" it must not, keeping the defaults.
    host.Descriptors().Clear();
    SetPlayInfo(host::plugInDialogDontDisplay);
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{kDefaultMaxDepth, false}));
}

TEST_F(Descriptor, ReaderTokenRefusedReadsNothingAndStillRecords) {
    WriteFile(PrefsFile(host), PrefsLine(12, kLeaveBlack));
    host.Descriptors().Give({Depth(99), White(true)});
    host.Descriptors().refuseReaders = true;
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{12, false}));
    const auto& log = host.Descriptors().log;
    EXPECT_EQ(std::count(log.begin(), log.end(), "getKey MxLv"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "closeRead"), 0);
}

TEST_F(Descriptor, WriterTokenRefusedLeavesTheHostsDescriptor) {
    host.Descriptors().refuseWriters = true;
    host.Descriptors().parameters.recordInfo = host::plugInDialogNone;
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(8)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    // Start reads nothing (Parameters took the descriptor) and cannot write.
    host.Descriptors().Give({Depth(3)});
    host.Descriptors().refuseReaders = true;
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    auto held = host.Descriptors().Held();
    ASSERT_TRUE(held);
    EXPECT_EQ(*held, std::vector<SDescriptorItem>{Depth(3)});
    EXPECT_EQ(host.Descriptors().parameters.recordInfo, host::plugInDialogNone);
    EXPECT_TRUE(host.Descriptors().written.empty());
}

// playInfo "silent": no dialog in Parameters, the handle written anyway;
// Start takes the descriptor's values and never looks at the handle.
TEST_F(Descriptor, SilentPlayShowsNoDialogAndStartIgnoresTheHandle) {
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(21), White(true)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_FALSE(std::filesystem::exists(PrefsFile(host))) << "only a confirmed dialog saves the preferences";
    auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->depth, 21);
    EXPECT_EQ(block->remainder, kPaintWhite);

    // The host plays the action's descriptor into Start as well; a handle
    // the plug-in would refuse shows that Start does not consult it.
    SetHandleBlock(host, {.version = 2, .depth = 50});
    host.Descriptors().Give({Depth(22), White(false)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{22, false}));
}

// "Display": the values the user confirmed travel in the handle, which
// overrides both the preferences and the descriptor in Start.
TEST_F(Descriptor, DisplayMakesStartTakeTheHandle) {
    WriteFile(PrefsFile(host), PrefsLine(11, kLeaveBlack));
    SetPlayInfo(host::plugInDialogDisplay);
    SetHandleBlock(host, {.depth = 123, .remainder = kPaintWhite});
    host.Descriptors().Give({Depth(7), White(false)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{123, true}));
}

TEST_F(Descriptor, RemainderNeitherWhiteNorBlackIsRecordedAsFalse) {
    SetPlayInfo(host::plugInDialogDisplay);
    for (char remainder : {'x', 'w', '\0', ' ', char(0xD7)}) {
        SetHandleBlock(host, {.depth = 4, .remainder = remainder});
        ASSERT_EQ(PrepareAndStart(), host::noErr) << int(remainder);
        EXPECT_EQ(Recorded(host), (SRecorded{4, false})) << int(remainder);
        host.Call(host::filterSelectorFinish);
    }
}

// Start needs the handle and it does not hold a valid record: no pixels
// are asked for and nothing is recorded.
TEST_F(Descriptor, StartRefusesAHandleItCannotUse) {
    struct SCase {
        const char* what;
        SBlock block;
        int32_t size;
    };
    const SCase cases[] = {
        {"version 2", {.version = 2}, 12},
        {"version 0", {.version = 0}, 12},
        {"another signature", {.signature = host::FourCC("8BIM")}, 12},
        {"signature bytes reversed", {.signature = host::FourCC("lrdV")}, 12},
        {"a block too short", {}, 8},
        {"an empty block", {}, 0},
    };
    SetPlayInfo(host::plugInDialogDisplay);
    for (const SCase& c : cases) {
        SetHandleBlock(host, c.block, c.size);
        host.Descriptors().log.clear();
        host.advanceCalls = 0;
        EXPECT_EQ(PrepareAndStart(), host::filterBadParameters) << c.what;
        EXPECT_EQ(host.advanceCalls, 0) << c.what;
        EXPECT_EQ(std::count(host.Descriptors().log.begin(), host.Descriptors().log.end(), "openWrite"), 0)
            << c.what;
        EXPECT_EQ(host.dataSlot, 0) << c.what;
    }
}

TEST_F(Descriptor, StartRefusesWhenTheHandleIsMissing) {
    SetPlayInfo(host::plugInDialogDisplay);
    ASSERT_EQ(Parameters(host.Record()), nullptr);
    EXPECT_EQ(PrepareAndStart(), host::filterBadParameters);
    EXPECT_EQ(host.advanceCalls, 0);
}

// The descriptor is recorded after the pass whatever became of it.
TEST_F(Descriptor, RecordedAfterACancelledPassAndAfterAFailedRequest) {
    host.Descriptors().Give({Depth(40)});
    host.abortTest = [] { return true; };
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{40, false}));
    host.Call(host::filterSelectorFinish);

    host.abortTest = nullptr;
    host.Descriptors().Give({Depth(41)});
    host.advance = sim::EAdvance::Fail;
    EXPECT_EQ(PrepareAndStart(), host.advanceError);
    EXPECT_EQ(Recorded(host), (SRecorded{41, false}));
}

TEST_F(Descriptor, NotRecordedWithoutAnAdvanceStateCallback) {
    host.Descriptors().Give({Depth(40)});
    host.advance = sim::EAdvance::Absent;
    EXPECT_EQ(PrepareAndStart(), host::filterBadParameters);
    EXPECT_TRUE(host.Descriptors().written.empty());
}

}  // namespace
