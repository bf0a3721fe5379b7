// What Start asks of the host, and what it leaves in the record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/HostSimulator.h"
#include "tests/support/TestImages.h"

using namespace testing_support;

namespace {

bool IsEmpty(const Rect& r) { return r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0; }

struct SCase {
    int16_t filterCase;
    int16_t planes;
    int16_t outLayerPlanes;
    int16_t expectedHiPlane;
};

class PlaneRequest : public ::testing::TestWithParam<SCase> {};

TEST_P(PlaneRequest, AsksForTheColourPlanesOfTheWholeImage) {
    const SCase c = GetParam();
    sim::CHostSimulator host;
    auto image = SolidImage(7, 5, c.planes, kWhite);
    sim::SImageSpec imageSpec = RgbSpec(image);
    imageSpec.filterCase = c.filterCase;
    imageSpec.outLayerPlanes = c.outLayerPlanes;
    host.SetDocument(imageSpec, image);

    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    ASSERT_EQ(host.requests.size(), 1u);
    const sim::SRequest& q = host.requests[0];
    EXPECT_EQ(q.inLoPlane, 0);
    EXPECT_EQ(q.outLoPlane, 0);
    EXPECT_EQ(q.inHiPlane, c.expectedHiPlane);
    EXPECT_EQ(q.outHiPlane, c.expectedHiPlane);
    for (const Rect& r : {q.inRect, q.outRect}) {
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.bottom, 5);
        EXPECT_EQ(r.right, 7);
    }
    EXPECT_TRUE(IsEmpty(host.Record().inRect));
    EXPECT_TRUE(IsEmpty(host.Record().outRect));
}

INSTANTIATE_TEST_SUITE_P(FilterCases, PlaneRequest,
                         ::testing::Values(SCase{1, 3, 0, 2},    // flat RGB
                                           SCase{2, 4, 0, 3},    // flat CMYK with a selection
                                           SCase{4, 4, 3, 2},    // layer: transparency not requested
                                           SCase{5, 4, 3, 2},    //
                                           SCase{3, 3, 0, 2}));  // no layer planes reported: fall back

class StartOutcome : public ::testing::Test {
protected:
    void SetUp() override {
        auto image = ImageFromRows({"r#b"});
        host.SetDocument(RgbSpec(image), image);
        ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
    }
    sim::CHostSimulator host;
};

TEST_F(StartOutcome, PrepareLeavesTheHostsMemoryAlone) {
    EXPECT_EQ(host.Record().maxSpace, 0);
    EXPECT_EQ(host.Record().bufferSpace, 0);
}

TEST_F(StartOutcome, MissingAdvanceStateFailsBeforeAnyRequest) {
    host.advance = sim::EAdvance::Absent;
    host.Record().inHiPlane = 77;
    EXPECT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters);
    EXPECT_EQ(host.Record().inHiPlane, 77);
    EXPECT_EQ(host.Record().inRect.bottom, 0);
    EXPECT_EQ(host.dataSlot, 0);
    EXPECT_EQ(host.Output(), host.Input());
}

TEST_F(StartOutcome, FailingAdvanceStateIsPassedOnWithRectanglesCleared) {
    host.advance = sim::EAdvance::Fail;
    host.advanceError = -108;
    EXPECT_EQ(host.Call(host::filterSelectorStart), -108);
    EXPECT_TRUE(IsEmpty(host.Record().inRect));
    EXPECT_TRUE(IsEmpty(host.Record().outRect));
    EXPECT_TRUE(host.progress.empty());
    EXPECT_EQ(host.Output(), host.Input());
}

// Refusals that need no pixels ask for none and touch nothing: not the
// rectangles, not the planes, not the descriptor.
TEST(StartRefusal, ImagesThePassCannotAddressAreRefusedBeforeTheRequestTouchingNothing) {
    struct SCase {
        const char* what;
        void (*spoil)(FilterRecord&);
    };
    const SCase cases[] = {
        {"negative height",
         [](FilterRecord& r) {
             r.imageSize = Point{-3, 3};
         }},
        {"negative width",
         [](FilterRecord& r) {
             r.imageSize = Point{1, -3};
         }},
        {"negative plane count", [](FilterRecord& r) { r.planes = -1; }},
        {"CMYK without a K plane",
         [](FilterRecord& r) {
             r.imageMode = host::plugInModeCMYKColor;
             r.planes = 3;
         }},
    };
    for (const SCase& c : cases) {
        sim::CHostSimulator host;
        auto image = ImageFromRows({"r#b"});
        host.SetDocument(RgbSpec(image), image);
        ASSERT_EQ(host.Call(host::filterSelectorPrepare), host::noErr);
        c.spoil(host.Record());
        const Rect marker{1, 2, 3, 4};
        host.Record().inRect = host.Record().outRect = marker;
        host.Record().inHiPlane = 77;
        host.Descriptors().Give({sim::SDescriptorItem::Integer(host::FourCC("MxLv"), 9)});

        EXPECT_EQ(host.Call(host::filterSelectorStart), host::filterBadParameters) << c.what;
        EXPECT_EQ(host.advanceCalls, 0) << c.what;
        EXPECT_EQ(host.Record().inHiPlane, 77) << c.what;
        for (const Rect& r : {host.Record().inRect, host.Record().outRect})
            EXPECT_TRUE(r.top == 1 && r.left == 2 && r.bottom == 3 && r.right == 4) << c.what;
        EXPECT_TRUE(host.Descriptors().written.empty()) << c.what;
        EXPECT_EQ(host.Output(), host.Input()) << c.what;
        EXPECT_EQ(host.dataSlot, 0) << c.what;
    }
}

TEST(Progress, OneRowImageIsOneStripOfOne) {
    sim::CHostSimulator host;
    host.processors = 1;
    auto image = ImageFromRows({"r##.##b"});
    host.SetDocument(RgbSpec(image), image);
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    ASSERT_EQ(host.progress.size(), 1u);
    EXPECT_EQ(host.progress[0].done, 1);
    EXPECT_EQ(host.progress[0].total, 1);
}

TEST(Progress, SingleThreadedReportsEveryStripAgainstTheImageHeight) {
    sim::CHostSimulator host;
    host.processors = 1;
    auto image = SolidImage(3, 100, 3, kRed);
    host.SetDocument(RgbSpec(image), image);
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    ASSERT_EQ(host.progress.size(), 3u);
    EXPECT_EQ(host.progress[0].done, 42);
    EXPECT_EQ(host.progress[1].done, 84);
    EXPECT_EQ(host.progress[2].done, 100);
    for (const auto& report : host.progress) EXPECT_EQ(report.total, 100);
    EXPECT_EQ(host.abortCalls, 3);
}

// The same small picture in every buffer layout a host may use: the result
// must not depend on how the host arranges its bytes.
class BufferLayouts : public ::testing::TestWithParam<sim::SImageSpec> {};

TEST_P(BufferLayouts, FlatTheSameWhateverTheLayout) {
    auto image = ImageFromRows({"r#b", "###", "g#y"});
    sim::SImageSpec imageSpec = GetParam();
    imageSpec.width = 3;
    imageSpec.height = 3;
    imageSpec.planes = 3;

    sim::CHostSimulator reference;
    reference.SetDocument(RgbSpec(image), image);
    ASSERT_TRUE(reference.RunFilter(false).Succeeded());

    sim::CHostSimulator host;
    host.SetDocument(imageSpec, image);
    ASSERT_TRUE(host.RunFilter(false).Succeeded());
    EXPECT_TRUE(host.guardsIntact);
    EXPECT_EQ(host.Output(), reference.Output());
    // The middle pixel of the top row is one step from red and from blue;
    // the pixel to its right wins over the one to its left.
    EXPECT_EQ(host.Output().At(1, 0, 2), 255);
    EXPECT_EQ(host.Output().At(1, 0, 0), 0);
}

sim::SImageSpec Layout(sim::ELayout layout, int rowPadding, int pixelPadding, bool bottomUp) {
    sim::SImageSpec imageSpec;
    imageSpec.layout = layout;
    imageSpec.rowPadding = rowPadding;
    imageSpec.pixelPadding = pixelPadding;
    imageSpec.bottomUp = bottomUp;
    return imageSpec;
}

std::string LayoutName(const ::testing::TestParamInfo<sim::SImageSpec>& info) {
    static const char* const kNames[] = {"Interleaved", "InterleavedSteps", "Planar"};
    const sim::SImageSpec& s = info.param;
    return std::string(kNames[int(s.layout)]) + "Row" + std::to_string(s.rowPadding) + "Pixel" +
           std::to_string(s.pixelPadding) + (s.bottomUp ? "BottomUp" : "");
}

INSTANTIATE_TEST_SUITE_P(HostLayouts, BufferLayouts,
                         ::testing::Values(Layout(sim::ELayout::Interleaved, 0, 0, false),
                                           Layout(sim::ELayout::Interleaved, 5, 0, false),
                                           Layout(sim::ELayout::InterleavedSteps, 3, 1, false),
                                           Layout(sim::ELayout::Planar, 0, 0, false),
                                           Layout(sim::ELayout::Planar, 7, 0, true),
                                           Layout(sim::ELayout::Interleaved, 2, 0, true)),
                         LayoutName);

}  // namespace
