// Hosts whose descriptor support is missing, incomplete or of another
// version: the plug-in calls none of their procs, asks for the dialog and
// relies on the parameters handle.
#include <cstddef>

#include "tests/params/ParamsTesting.h"

using namespace params_testing;

namespace {

// The proc slots of a table, in order, as one array of pointers.
template <typename Table, typename FirstProc>
void** ProcSlots(Table& table, FirstProc Table::*first) {
    return reinterpret_cast<void**>(&(table.*first));
}

class DescriptorSupport : public ParamsTest {
protected:
    // Spoiled or not, the host also plays a descriptor: it must not be read.
    void SetUp() override {
        host.Descriptors().Give({Depth(5), White(true)});
        host.Descriptors().parameters.recordInfo = host::plugInDialogNone;
    }

    // The plug-in treats the host as one without descriptors: Start goes
    // to the handle (and fails without one), no proc is ever called, and
    // the host's descriptor is left as it was.
    void ExpectTreatedAsAbsent(const std::string& what) {
        SetPlayInfo(host::plugInDialogDontDisplay);
        EXPECT_EQ(PrepareAndStart(), host::filterBadParameters) << what;

        SetHandleBlock(host, {.depth = 61, .remainder = kPaintWhite});
        EXPECT_EQ(PrepareAndStart(), host::noErr) << what;
        EXPECT_TRUE(host.Descriptors().log.empty()) << what << ": " << host.Descriptors().log.front();
        auto held = host.Descriptors().Held();
        ASSERT_TRUE(held) << what;
        EXPECT_EQ(*held, (std::vector<SDescriptorItem>{Depth(5), White(true)})) << what;
        EXPECT_EQ(host.Descriptors().parameters.recordInfo, host::plugInDialogNone) << what;
    }
};

TEST_F(DescriptorSupport, CompleteTablesAreUsed) {
    EXPECT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{5, true}));
}

TEST_F(DescriptorSupport, TablesDeclaringMoreProcsAreUsed) {
    host.Descriptors().readProcs.numReadDescriptorProcs = 19;
    host.Descriptors().writeProcs.numWriteDescriptorProcs = 40;
    EXPECT_EQ(PrepareAndStart(), host::noErr);
    EXPECT_EQ(Recorded(host), (SRecorded{5, true}));
}

TEST_F(DescriptorSupport, NoDescriptorParameters) {
    host.descriptorsPresent = false;
    ExpectTreatedAsAbsent("no descriptor parameters");
}

TEST_F(DescriptorSupport, ParametersOfAnotherVersion) {
    for (int16_t version : {1, -1, 2}) {
        host.Descriptors().parameters.descriptorParametersVersion = version;
        ExpectTreatedAsAbsent("parameters version " + std::to_string(version));
        host.Call(host::filterSelectorFinish);
        host.Handles().Dispose(host.Record().parameters);
        host.Record().parameters = nullptr;
    }
}

TEST_F(DescriptorSupport, MissingTables) {
    host.Descriptors().parameters.readDescriptorProcs = nullptr;
    ExpectTreatedAsAbsent("no read table");
}

TEST_F(DescriptorSupport, MissingWriteTable) {
    host.Descriptors().parameters.writeDescriptorProcs = nullptr;
    ExpectTreatedAsAbsent("no write table");
}

TEST_F(DescriptorSupport, ReadTableOfAnotherVersion) {
    host.Descriptors().readProcs.readDescriptorProcsVersion = 1;
    ExpectTreatedAsAbsent("read table version 1");
}

TEST_F(DescriptorSupport, WriteTableOfAnotherVersion) {
    host.Descriptors().writeProcs.writeDescriptorProcsVersion = -1;
    ExpectTreatedAsAbsent("write table version -1");
}

TEST_F(DescriptorSupport, ReadTableDeclaringTooFewProcs) {
    host.Descriptors().readProcs.numReadDescriptorProcs = 17;
    ExpectTreatedAsAbsent("17 read procs");
}

TEST_F(DescriptorSupport, WriteTableDeclaringTooFewProcs) {
    host.Descriptors().writeProcs.numWriteDescriptorProcs = 15;
    ExpectTreatedAsAbsent("15 write procs");
}

// Every one of the procs counts, the ones this plug-in never calls too.
class MissingReadProc : public DescriptorSupport, public ::testing::WithParamInterface<int> {};

TEST_P(MissingReadProc, MakesTheHostOneWithoutDescriptors) {
    ProcSlots(host.Descriptors().readProcs, &ReadDescriptorProcs::openReadDescriptorProc)[GetParam()] =
        nullptr;
    ExpectTreatedAsAbsent("read proc " + std::to_string(GetParam() + 1));
}

INSTANTIATE_TEST_SUITE_P(EachOfEighteen, MissingReadProc, ::testing::Range(0, 18));

class MissingWriteProc : public DescriptorSupport, public ::testing::WithParamInterface<int> {};

TEST_P(MissingWriteProc, MakesTheHostOneWithoutDescriptors) {
    ProcSlots(host.Descriptors().writeProcs, &WriteDescriptorProcs::openWriteDescriptorProc)[GetParam()] =
        nullptr;
    ExpectTreatedAsAbsent("write proc " + std::to_string(GetParam() + 1));
}

INSTANTIATE_TEST_SUITE_P(EachOfSixteen, MissingWriteProc, ::testing::Range(0, 16));

// Without descriptors Parameters always asks the user, whatever playInfo
// would have said, and still writes the handle.
TEST_F(DescriptorSupport, ParametersWithoutDescriptorsShowsTheDialog) {
    host.descriptorsPresent = false;
    SetPlayInfo(host::plugInDialogSilent);
    ASSERT_EQ(host.Call(host::filterSelectorParameters), host::noErr);
    EXPECT_TRUE(std::filesystem::exists(PrefsFile(host))) << "a confirmed dialog saves the preferences";
    auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->signature, kPluginCode);
    EXPECT_EQ(block->version, kParamsVersion);
    EXPECT_EQ(block->depth, kDefaultMaxDepth);
    EXPECT_EQ(block->remainder, kLeaveBlack);
}

}  // namespace
