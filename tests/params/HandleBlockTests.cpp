// The 12-byte block in the host's parameters handle: its bytes, and how
// the plug-in makes, resizes, fills and reads the handle.
#include <array>
#include <cstring>

#include "sim/SimulatedHandles.h"
#include "tests/params/ParamsTesting.h"
#include "params/HandleParams.h"

using namespace params_testing;

namespace {

_SVandrelParams Fields(uint32_t signature, uint16_t version, uint16_t depth, char remainder) {
    _SVandrelParams p{};
    p.signature = signature;
    p.version = version;
    p.maxDepth = depth;
    p.remainder = remainder;
    return p;
}

TEST(ParamsBlock, FieldsSitLittleEndianAtTheirOffsetsAndReservedBytesAreUntouched) {
    std::array<uint8_t, 12> block;
    block.fill(0xAA);
    EncodeParamsBlock(Fields(0x5664726C, 0x0102, 0xBEEF, 'W'), block.data());  // 'Vdrl'
    const std::array<uint8_t, 12> expected = {0x6C, 0x72, 0x64, 0x56, 0x02, 0x01,
                                              0xAA, 0xAA, 0xEF, 0xBE, 'W',  0xAA};
    EXPECT_EQ(block, expected);
}

TEST(ParamsBlock, DecodingReadsTheSameOffsetsAndIgnoresTheReservedBytes) {
    std::array<uint8_t, 12> block = {0x6C, 0x72, 0x64, 0x56, 0x01, 0x00, 0x13, 0x37, 0x2A, 0x00, 'x', 0x99};
    CVandrelParams params;
    params.reserved = 5;
    DecodeParamsBlock(block.data(), params);
    EXPECT_EQ(params.signature, 0x5664726Cu);
    EXPECT_EQ(params.version, 1);
    EXPECT_EQ(params.maxDepth, 42);
    EXPECT_EQ(params.remainder, 'x');
    EXPECT_EQ(params.reserved, 5);

    // Every value survives the trip through the bytes.
    for (auto fields : {Fields(0, 0, 0, 0), Fields(0xFFFFFFFF, 0xFFFF, 0xFFFF, char(0xFF)),
                        Fields(kPluginCode, 1, 300, 'B')}) {
        std::array<uint8_t, 12> bytes{};
        EncodeParamsBlock(fields, bytes.data());
        CVandrelParams back;
        DecodeParamsBlock(bytes.data(), back);
        EXPECT_EQ(back.signature, fields.signature);
        EXPECT_EQ(back.version, fields.version);
        EXPECT_EQ(back.maxDepth, fields.maxDepth);
        EXPECT_EQ(back.remainder, fields.remainder);
    }
}

// The exchange itself, on a filter record of its own with the simulator's
// handles: no plug-in needed.
class HandleExchange : public ::testing::Test {
protected:
    HandleExchange() {
        handles.MakeCurrent();
        record.handleProcs = &handles.procs;
    }
    ~HandleExchange() override {
        if (record.parameters) handles.Dispose(record.parameters);
    }
    sim::CSimulatedHandles handles;
    FilterRecord record{};
};

TEST_F(HandleExchange, LoadWithoutAHandleLeavesTheRecord) {
    CVandrelParams params;
    params.maxDepth = 9;
    EXPECT_FALSE(LoadHandleParams(record, params));
    EXPECT_EQ(params.maxDepth, 9);
}

TEST_F(HandleExchange, AnInvalidBlockResetsTheRecord) {
    for (auto fields : {Fields(kPluginCode, 2, 5, 'W'), Fields(kPluginCode + 1, 1, 5, 'W')}) {
        if (record.parameters) handles.Dispose(record.parameters);
        record.parameters = handles.New(kParamsBlockSize);
        EncodeParamsBlock(fields, reinterpret_cast<uint8_t*>(*record.parameters));
        CVandrelParams params;
        params.maxDepth = 9;
        params.remainder = 'W';
        EXPECT_FALSE(LoadHandleParams(record, params));
        EXPECT_EQ(params.maxDepth, kDefaultMaxDepth);
        EXPECT_EQ(params.remainder, kLeaveBlack);
        EXPECT_TRUE(params.IsValid());
    }
}

TEST_F(HandleExchange, StoreKeepsTheHostsHandleAndResizesIt) {
    for (int32_t size : {4, 12, 64}) {
        if (record.parameters) handles.Dispose(record.parameters);
        record.parameters = handles.New(size);
        const Handle kept = record.parameters;
        StoreHandleParams(record, Fields(kPluginCode, 1, 77, 'W'));
        EXPECT_EQ(Parameters(record), kept) << size;
        EXPECT_EQ(handles.Size(kept), kParamsBlockSize) << size;
    }
}

// A resize the host refuses leaves a short block: nothing may be written
// past its end. A long block still takes the record.
TEST_F(HandleExchange, RefusedResizeNeverWritesPastTheBlock) {
    handles.procs.setSizeProc = [](Handle, int32_t) -> OSErr { return host::memFullErr; };
    record.parameters = handles.New(4);
    std::memcpy(*record.parameters, "abcd", 4);
    StoreHandleParams(record, Fields(kPluginCode, 1, 77, 'W'));
    EXPECT_EQ(std::string(*record.parameters, 4), "abcd");
    CVandrelParams params;
    EXPECT_FALSE(LoadHandleParams(record, params));

    handles.Dispose(record.parameters);
    record.parameters = handles.New(32);
    StoreHandleParams(record, Fields(kPluginCode, 1, 77, 'W'));
    EXPECT_TRUE(LoadHandleParams(record, params));
    EXPECT_EQ(params.maxDepth, 77);
}

TEST_F(HandleExchange, WithoutHandleProcsNothingIsMadeOrWritten) {
    record.handleProcs = nullptr;
    StoreHandleParams(record, Fields(kPluginCode, 1, 77, 'W'));
    EXPECT_EQ(Parameters(record), nullptr);

    // A table too short to offer newProc is no better.
    HandleProcs none{};
    none.handleProcsVersion = host::kCurrentHandleProcsVersion;
    none.numHandleProcs = 0;
    none.newProc = handles.procs.newProc;
    record.handleProcs = &none;
    StoreHandleParams(record, Fields(kPluginCode, 1, 77, 'W'));
    EXPECT_EQ(Parameters(record), nullptr);
}

// Through the plug-in.
using ParametersHandle = ParamsTest;

TEST_F(ParametersHandle, ParametersWritesTheDescriptorsValues) {
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(300), White(true)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->signature, kPluginCode);
    EXPECT_EQ(block->version, kParamsVersion);
    EXPECT_EQ(block->depth, 300);
    EXPECT_EQ(block->remainder, kPaintWhite);
}

TEST_F(ParametersHandle, NewProcReturningNullLeavesNoHandleAndNoError) {
    host.Handles().procs.newProc = [](int32_t) -> Handle { return nullptr; };
    for (int16_t playInfo : {host::plugInDialogDisplay, host::plugInDialogSilent}) {
        SetPlayInfo(playInfo);
        EXPECT_EQ(host.Call(host::filterSelectorParameters), host::noErr) << playInfo;
        EXPECT_EQ(Parameters(host.Record()), nullptr) << playInfo;
    }
    // A Start that then needs the handle finds none.
    SetPlayInfo(host::plugInDialogDisplay);
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
}

// Handle procs of another version are not used for disposal, but the
// handle is still made through newProc, as the host's table offers it.
TEST_F(ParametersHandle, HandleProcsOfAnotherVersionStillMakeTheHandle) {
    host.Handles().procs.handleProcsVersion = 2;
    host.Descriptors().platformHandles = true;
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(12)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    // The descriptor went the two-block way (a leak checker sees both
    // blocks freed), the handle came from the host.
    EXPECT_EQ(host.Descriptors().parameters.descriptor, nullptr);
    ASSERT_TRUE(HandleBlock(host));
    EXPECT_EQ(HandleBlock(host)->depth, 12);

    // Start disposes the next descriptor the same way and records a new one.
    host.Descriptors().Give({Depth(13)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{13, false}));
}

TEST_F(ParametersHandle, HostWithoutHandleProcsRunsFromItsDescriptor) {
    host.Record().handleProcs = nullptr;
    host.Descriptors().platformHandles = true;
    SetPlayInfo(host::plugInDialogSilent);
    host.Descriptors().Give({Depth(14), White(true)});
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_EQ(Parameters(host.Record()), nullptr);
    EXPECT_EQ(host.Descriptors().parameters.descriptor, nullptr);

    host.Descriptors().Give({Depth(15), White(true)});
    ASSERT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{15, true}));
}

}  // namespace
