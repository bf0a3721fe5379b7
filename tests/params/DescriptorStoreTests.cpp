// The simulator's descriptors answer the way a host does, so that what
// the plug-in tests conclude holds for a host too: values go in and come
// out unchanged, a get of the wrong type is refused with -50 and
// leaves its output alone, pinned gets report the coercion.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/DescriptorStore.h"
#include "sim/HostHandles.h"

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

    sim::CHostHandles handles;
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

    const double pi = 3.25;
    reader =
        WriteThenRead([&](PIWriteDescriptor t) { w.putUnitFloatProc(t, kA, host::FourCC("#Pxl"), &pi); });
    DescriptorUnitID unit = 0;
    double number = 0;
    EXPECT_EQ(r.getUnitFloatProc(reader, &unit, &number), host::noErr);
    EXPECT_EQ(unit, host::FourCC("#Pxl"));
    EXPECT_EQ(number, pi);
    r.closeReadDescriptorProc(reader);

    const uint8_t pascal[] = {3, 'a', 'b', 'c'};
    reader = WriteThenRead([&](PIWriteDescriptor t) { w.putStringProc(t, kA, pascal); });
    Str255 text{};
    EXPECT_EQ(r.getStringProc(reader, &text), host::noErr);
    EXPECT_EQ(std::memcmp(text, pascal, sizeof pascal), 0);
    r.closeReadDescriptorProc(reader);

    Handle inText = handles.New(5);
    std::memcpy(*inText, "hello", 5);
    reader = WriteThenRead([&](PIWriteDescriptor t) { w.putTextProc(t, kA, inText); });
    Handle outText = nullptr;
    EXPECT_EQ(r.getTextProc(reader, &outText), host::noErr);
    ASSERT_NE(outText, nullptr);
    EXPECT_EQ(std::string(*outText, handles.Size(outText)), "hello");
    handles.Dispose(inText);
    handles.Dispose(outText);
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
    uint32_t count = 99;
    EXPECT_EQ(r.getIntegerProc(reader, &integer), host::paramErr);
    EXPECT_EQ(r.getBooleanProc(reader, &boolean), host::paramErr);
    EXPECT_EQ(r.getCountProc(reader, &count), host::paramErr);
    EXPECT_EQ(integer, 1234);
    EXPECT_EQ(boolean, 7);
    EXPECT_EQ(count, 99u);
    // The reader remembers the failure when it is closed.
    EXPECT_EQ(r.closeReadDescriptorProc(reader), host::paramErr);
}

TEST_F(DescriptorStore, PinnedGetsReportTheCoercion) {
    store.Give({SDescriptorItem::Integer(kA, 500), SDescriptorItem::Float(kB, -1.0)});
    const ReadDescriptorProcs& r = store.readProcs;
    PIReadDescriptor reader = r.openReadDescriptorProc(store.parameters.descriptor, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32_t flags;
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    int32_t integer = 0;
    EXPECT_EQ(r.getPinnedIntegerProc(reader, 1, 300, &integer), host::coercedParamErr);
    EXPECT_EQ(integer, 300);
    ASSERT_TRUE(r.getKeyProc(reader, &key, &type, &flags));
    const double low = 0, high = 1;
    double number = 5;
    EXPECT_EQ(r.getPinnedFloatProc(reader, &low, &high, &number), host::coercedParamErr);
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(r.getKeyProc(reader, &key, &type, &flags));
    EXPECT_EQ(r.closeReadDescriptorProc(reader), host::coercedParamErr);
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
