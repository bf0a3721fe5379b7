// A host whose action hands back the plug-in's keys with values of any
// type, repeated, mixed with keys of every other type, in descriptors made
// of host handles or of platform memory.
#include <string>

#include "tests/host/QuirkTesting.h"
#include "params/ScriptParams.h"

namespace hostile {
namespace {

using sim::SDescriptorItem;

// One key with a value of each type the host knows, text-like ones large
// enough that a handle the plug-in took and lost would be noticed.
std::vector<SDescriptorItem> EveryType(DescriptorKeyID key) {
    const std::string bulk(4096, 'x');
    std::vector<SDescriptorItem> items = {
        SDescriptorItem::Integer(key, -7),
        SDescriptorItem::Bool(key, true),
        SDescriptorItem::Float(key, 1e300),
        SDescriptorItem::UnitFloat(key, host::FourCC("#Pxl"), -0.0),
        SDescriptorItem::Text(key, bulk),
        SDescriptorItem::Enumerated(key, host::FourCC("Mode"), host::FourCC("Dflt")),
    };
    for (DescriptorTypeID type :
         {sim::kTypeClass, sim::kTypeAlias, sim::kTypeObject, sim::kTypeObjectReference,
          sim::kTypeGlobalClass, sim::kTypeGlobalObject, DescriptorTypeID(0), host::FourCC("????")}) {
        SDescriptorItem item;
        item.key = key;
        item.type = type;
        item.flags = -1;
        item.code = host::FourCC("Cls ");
        item.bytes = bulk;
        items.push_back(item);
    }
    return items;
}

class UnexpectedTypes : public QuirkTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        sim::SHostQuirks quirks;
        // Without handle procs the host makes descriptors of platform memory.
        quirks.handleProcsMissing = GetParam();
        Open(quirks);
    }
};

// Values of a type the plug-in does not expect for a key are refused by the
// host and leave their field alone, whichever key they come under.
TEST_P(UnexpectedTypes, ValuesOfAnotherTypeChangeNothing) {
    for (DescriptorKeyID key : {kKeyMaxDepth, kKeyPaintWhite, host::FourCC("Othr"), DescriptorKeyID(0)}) {
        std::vector<SDescriptorItem> items = {SDescriptorItem::Integer(kKeyMaxDepth, kPageDepth)};
        for (auto& item : EveryType(key)) {
            const bool right = (key == kKeyMaxDepth && item.type == host::typeInteger) ||
                               (key == kKeyPaintWhite && item.type == host::typeBoolean);
            if (!right) items.push_back(item);
        }
        host->Descriptors().Give(items);
        host->SetDocument(host->ImageSpec(), page);
        const sim::SRunResult run = host->RunFilter(false);
        ASSERT_TRUE(run.Succeeded()) << Calls(run);
        EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, false)) << sim::FourCCText(key);
        auto held = host->Descriptors().Held();
        ASSERT_TRUE(held);
        EXPECT_EQ(*held, (std::vector<SDescriptorItem>{SDescriptorItem::Bool(kKeyPaintWhite, false),
                                                       SDescriptorItem::Integer(kKeyMaxDepth, kPageDepth)}));
    }
    EXPECT_EQ(host->Descriptors().OpenReaders(), 0u);
    EXPECT_EQ(host->Descriptors().OpenWriters(), 0u);
    ExpectNothingLeft();
}

TEST_P(UnexpectedTypes, AWrongTypeNeverUndoesARightOne) {
    std::vector<SDescriptorItem> items = Action(kPageDepth, true);
    for (auto& wrong : EveryType(kKeyMaxDepth))
        if (wrong.type != host::typeInteger) items.push_back(wrong);
    for (auto& wrong : EveryType(kKeyPaintWhite))
        if (wrong.type != host::typeBoolean) items.push_back(wrong);
    host->Descriptors().Give(items);
    const sim::SRunResult run = host->RunFilter(false);
    ASSERT_TRUE(run.Succeeded()) << Calls(run);
    EXPECT_EQ(host->Output(), ExpectedFlat(page, kPageDepth, true));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(HandleKinds, UnexpectedTypes, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "PlatformMemory" : "HostHandles"; });

}  // namespace
}  // namespace hostile
