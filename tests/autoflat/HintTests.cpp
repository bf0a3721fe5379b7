#include <gtest/gtest.h>

#include "autoflat/PixelClasses.h"
#include "tests/autoflat/AutoFlatPages.h"

using namespace autoflat;
using namespace autoflat_testing;

namespace {

const SColour kRed{{220, 30, 30, 0}};
const SColour kBlue{{30, 60, 220, 0}};

// Two rooms whose shared wall has a doorway narrower than the gap.
CTestPage TwoRooms(EPageKind kind) {
    CTestPage page(140, 80, kind);
    page.Box(10, 10, 130, 70, 3);
    page.Fill(69, 10, 72, 70, 0);
    page.Fill(69, 35, 72, 41, 255);
    return page;
}

void Dot(CTestPage& page, int x, int y, const SColour& colour) {
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx)
            if (HasAlpha(page.kind))
                page.Set(x + dx, y + dy, {colour.v[0], colour.v[1], colour.v[2], 255});
            else
                page.Set(x + dx, y + dy, {colour.v[0], colour.v[1], colour.v[2]});
}

SAutoFlatSettings Settings() {
    SAutoFlatSettings settings;
    settings.gap = 10;
    settings.minRegion = 0;
    return settings;
}

void ExpectRoomsHinted(const SAutoFlatResult& result) {
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    const uint32_t left = LabelAt(result, 40, 40), right = LabelAt(result, 100, 40);
    ASSERT_NE(left, right);
    EXPECT_EQ(result.regions[left].colour, kRed);
    EXPECT_EQ(result.regions[right].colour, kBlue);
    EXPECT_TRUE(result.regions[left].fromHint);
    // The doorway closes between them: each side of it is its own room's.
    EXPECT_EQ(LabelAt(result, 67, 38), left);
    EXPECT_EQ(LabelAt(result, 74, 38), right);
}

}  // namespace

TEST(AutoFlatHints, DotsOnThePageColourTheirRegions) {
    CTestPage page = TwoRooms(EPageKind::Rgb);
    Dot(page, 30, 30, kRed);
    Dot(page, 110, 50, kBlue);
    ExpectRoomsHinted(Flat(page, Settings()));
}

TEST(AutoFlatHints, DotsFromAHintsPage) {
    const CTestPage page = TwoRooms(EPageKind::Gray);
    CTestPage hints(140, 80, EPageKind::Rgba);
    for (auto& sample : hints.samples) sample = 0;  // transparent
    Dot(hints, 30, 30, kRed);
    Dot(hints, 110, 50, kBlue);
    ExpectRoomsHinted(Flat(page, Settings(), &hints));
}

TEST(AutoFlatHints, TheMajorityColourWins) {
    CTestPage page = TwoRooms(EPageKind::Rgb);
    Dot(page, 30, 30, kRed);
    Dot(page, 40, 30, kRed);
    Dot(page, 50, 30, kBlue);
    Dot(page, 110, 50, kBlue);
    const SAutoFlatResult result = Flat(page, Settings());
    ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
    EXPECT_EQ(result.regions[LabelAt(result, 40, 40)].colour, kRed);
}

TEST(AutoFlatHints, AFilledPageKeepsItsColours) {
    CTestPage page = TwoRooms(EPageKind::Rgb);
    for (int y = 13; y < 67; ++y) {
        for (int x = 13; x < 69; ++x) page.Set(x, y, {kRed.v[0], kRed.v[1], kRed.v[2]});
        for (int x = 72; x < 127; ++x) page.Set(x, y, {kBlue.v[0], kBlue.v[1], kBlue.v[2]});
    }
    ExpectRoomsHinted(Flat(page, Settings()));
}

// A hint of deep black ink with strong magenta and yellow is colourful by
// the page's measure but black to the flat filter: it would melt away there.
// Only what the filter calls a colour is a hint, on the page and on a hints
// page alike.
TEST(AutoFlatHints, NoHintAsksForAColourTheFilterCallsBlack) {
    for (const bool onHintsPage : {false, true}) {
        for (const uint8_t k : {uint8_t(195), uint8_t(196), uint8_t(207)}) {
            CTestPage page = TwoRooms(EPageKind::Cmyk), hints(page.width, page.height, EPageKind::Cmyk);
            CTestPage& dotted = onHintsPage ? hints : page;
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx) dotted.Set(40 + dx, 40 + dy, {0, 255, 255, k});
            const SAutoFlatResult result = Flat(page, Settings(), onHintsPage ? &hints : nullptr);
            ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
            const SRegion& room = result.regions[LabelAt(result, 30, 30)];
            const bool black = FilterCallsBlack(SColour{{0, 255, 255, k}}, true);
            EXPECT_EQ(black, k > 195);
            EXPECT_EQ(room.fromHint, !black) << int(k) << (onHintsPage ? " on the hints page" : "");
            for (const SRegion& region : result.regions)
                EXPECT_FALSE(FilterCallsBlack(region.colour, true)) << int(k);
        }
    }
}

// On a hints page every colour is the colourist's word, greys and pale
// colours too; on the line art only clear colours are, since its greys are
// anti-aliased lines and its pale tints paper.
TEST(AutoFlatHints, EveryColourOfAHintsPageCountsWhateverItsChroma) {
    const SColour kGrey{{128, 128, 128, 0}}, kPale{{250, 235, 225, 0}};
    for (const EPageKind kind : {EPageKind::Rgb, EPageKind::Rgba}) {
        const CTestPage page = TwoRooms(EPageKind::Gray);
        CTestPage hints(page.width, page.height, kind);
        if (kind == EPageKind::Rgba)
            for (auto& sample : hints.samples) sample = 0;  // transparent
        Dot(hints, 30, 30, kGrey);
        Dot(hints, 110, 50, kPale);
        const SAutoFlatResult result = Flat(page, Settings(), &hints);
        ASSERT_EQ(result.status, EAutoFlatStatus::Ok);
        const SRegion& left = result.regions[LabelAt(result, 40, 40)];
        const SRegion& right = result.regions[LabelAt(result, 100, 40)];
        EXPECT_EQ(left.colour, kGrey);
        EXPECT_EQ(right.colour, kPale);
        EXPECT_TRUE(left.fromHint && right.fromHint);
        // White paper and transparency are no hint: the frame outside the
        // rooms keeps an automatic colour.
        EXPECT_FALSE(result.regions[LabelAt(result, 3, 3)].fromHint);
    }
    CTestPage dotted = TwoRooms(EPageKind::Rgb);
    Dot(dotted, 30, 30, kGrey);
    Dot(dotted, 110, 50, kPale);
    const SAutoFlatResult onPage = Flat(dotted, Settings());
    ASSERT_EQ(onPage.status, EAutoFlatStatus::Ok);
    EXPECT_FALSE(onPage.regions[LabelAt(onPage, 40, 40)].fromHint);
    EXPECT_FALSE(onPage.regions[LabelAt(onPage, 100, 40)].fromHint);
}
