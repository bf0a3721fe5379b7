// The simulator's descriptors answer the way a host does, so that what
// the plug-in tests conclude holds for a host too: values go in and come
// out unchanged, a get of the wrong type is refused with -50 and leaves its
// output alone, and the procs it does not implement refuse as a host's do.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/DescriptorStore.h"
#include "sim/SimulatedHandles.h"

using sim::SDescriptorItem;

namespace {

constexpr DescriptorKeyID kA = host::FourCC("keyA");
constexpr DescriptorKeyID kB = host::FourCC("keyB");

class DescriptorStore : public ::testing::Test {
protected:
    DescriptorStore() {
        handles.MakeCurrent();
        store.MakeCurrent();
    }

    // Writes with `put`, then hands the result in as the host's descriptor
    // and opens a reader on it positioned at its first key.
    template <typename Put>
    PIReadDescriptor WriteThenRead(Put put) {
        PIWriteDescriptor writer = store.writeProcs.openWriteDescriptorProc();
        put(writer);
        PIDescriptorHandle made = nullptr;
        EXPECT_EQ(store.writeProcs.closeWriteDescriptorProc(writer, &made), host::noErr);
        store.Clear();
        store.parameters.descriptor = made;
        PIReadDescriptor reader = store.readProcs.openReadDescriptorProc(made, nullptr);
        DescriptorKeyID key;
        DescriptorTypeID type;
        int32_t flags;
        EXPECT_TRUE(store.readProcs.getKeyProc(reader, &key, &type, &flags));
        return reader;
    }

    sim::CSimulatedHandles handles;
    sim::CDescriptorStore store{handles};
};

TEST_F(DescriptorStore, ValuesComeBackAsTheyWerePut) {
    const ReadDescriptorProcs& r = store.readProcs;
    const WriteDescriptorProcs& w = store.writeProcs;

    PIReadDescriptor reader = WriteThenRead([&](PIWriteDescriptor t) { w.putIntegerProc(t, kA, -7); });
    int32_t integer = 0;
    EXPECT_EQ(r.getIntegerProc(reader, &integer), host::noErr);
    EXPECT_EQ(integer, -7);
    EXPECT_EQ(r.closeReadDescriptorProc(reader), host::noErr);

    reader = WriteThenRead([&](PIWriteDescriptor t) { w.putBooleanProc(t, kA, 1); });
    Boolean boolean = 0;
    EXPECT_EQ(r.getBooleanProc(reader, &boolean), host::noErr);
    EXPECT_EQ(boolean, 1);
    r.closeReadDescriptorProc(reader);

    EXPECT_EQ(store.OpenReaders(), 0u);
}

TEST_F(DescriptorStore, WrongTypesAreRefusedAndLeaveTheOutputAlone) {
    store.Give({SDescriptorItem::Float(kA, 2.5)});
    const ReadDescriptorProcs& r = store.readProcs;
    PIReadDescriptor reader = r.openReadDescriptorProc(store.parameters.descriptor, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32_t flags;
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(type, host::typeFloat);
    int32_t integer = 1234;
    Boolean boolean = 7;
    EXPECT_EQ(r.getIntegerProc(reader, &integer), host::paramErr);
    EXPECT_EQ(r.getBooleanProc(reader, &boolean), host::paramErr);
    EXPECT_EQ(integer, 1234);
    EXPECT_EQ(boolean, 7);
    // The reader remembers the failure when it is closed.
    EXPECT_EQ(r.closeReadDescriptorProc(reader), host::paramErr);
}

TEST_F(DescriptorStore, ProcsThePluginNeverCallsRefuseAndLeaveTheirOutputsAlone) {
    store.Give({SDescriptorItem::Float(kA, 2.5)});
    const ReadDescriptorProcs& r = store.readProcs;
    PIReadDescriptor reader = r.openReadDescriptorProc(store.parameters.descriptor, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32_t flags;
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    double number = 9;
    uint32_t count = 99;
    EXPECT_EQ(r.getFloatProc(reader, &number), host::errPlugInHostInsufficient);
    EXPECT_EQ(r.getCountProc(reader, &count), host::errPlugInHostInsufficient);
    EXPECT_EQ(number, 9);
    EXPECT_EQ(count, 99u);
    EXPECT_EQ(r.closeReadDescriptorProc(reader), host::noErr);

    PIWriteDescriptor writer = store.writeProcs.openWriteDescriptorProc();
    const double pi = 3.25;
    EXPECT_EQ(store.writeProcs.putFloatProc(writer, kA, &pi), host::errPlugInHostInsufficient);
    PIDescriptorHandle made = nullptr;
    EXPECT_EQ(store.writeProcs.closeWriteDescriptorProc(writer, &made), host::noErr);
    store.Clear();
    store.parameters.descriptor = made;
    EXPECT_EQ(store.Held(), std::vector<SDescriptorItem>{});
}

TEST_F(DescriptorStore, TokensAndHandlesItNeverMadeAreRefused) {
    const ReadDescriptorProcs& r = store.readProcs;
    int32_t integer = 0;
    EXPECT_EQ(r.getIntegerProc(reinterpret_cast<PIReadDescriptor>(&integer), &integer), host::paramErr);
    EXPECT_EQ(r.closeReadDescriptorProc(nullptr), host::paramErr);
    EXPECT_EQ(r.openReadDescriptorProc(nullptr, nullptr), nullptr);
    char* block = nullptr;
    EXPECT_EQ(r.openReadDescriptorProc(&block, nullptr), nullptr);
    Handle notADescriptor = handles.New(3);
    EXPECT_EQ(r.openReadDescriptorProc(notADescriptor, nullptr), nullptr);
    handles.Dispose(notADescriptor);
    EXPECT_EQ(store.writeProcs.putIntegerProc(nullptr, kA, 1), host::paramErr);
}

}  // namespace
