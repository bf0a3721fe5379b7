// The parameters dialog's logic: field and slider always agree within
// 1..300, and OK stores exactly what the dialog shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "ui/ParamsDialogLogic.h"

namespace {

TEST(ParamsDialogLogic, TheFieldIsBroughtIntoRangeAndRewrittenOnlyWhenOutOfIt) {
    struct SCase {
        unsigned typed;
        int depth;
        bool replaced;
    };
    // An emptied field or unreadable text reads as 0; a value past the
    // largest signed number is judged negative, hence the minimum too.
    for (SCase c : {SCase{0, 1, true}, SCase{1, 1, false}, SCase{42, 42, false}, SCase{300, 300, false},
                    SCase{301, 300, true}, SCase{65837, 300, true}, SCase{0x7FFFFFFFu, 300, true},
                    SCase{0x80000000u, 1, true}, SCase{std::numeric_limits<unsigned>::max(), 1, true}}) {
        SCOPED_TRACE(c.typed);
        const SDepthEntry entry = CheckDepthEntry(c.typed);
        EXPECT_EQ(entry.depth, c.depth);
        EXPECT_EQ(entry.replaced, c.replaced);
    }
}

TEST(ParamsDialogLogic, OnlyThumbMovesCarryTheirPositionAndCodesPastEndTrackAreIgnored) {
    for (unsigned code : {0u, 1u, 2u, 3u, 6u, 7u, 8u})
        EXPECT_EQ(SliderSourceOf(code), ESliderSource::Slider) << code;
    for (unsigned code : {4u, 5u}) EXPECT_EQ(SliderSourceOf(code), ESliderSource::Thumb) << code;
    for (unsigned code : {9u, 100u, 0xFFFFu}) EXPECT_EQ(SliderSourceOf(code), ESliderSource::Ignored) << code;
}

TEST(ParamsDialogLogic, OkStoresTheBoxAndTheLowSixteenBitsOfTheField) {
    CVandrelParams record;
    ConfirmParams(record, true, 42);
    EXPECT_EQ(record.maxDepth, 42);
    EXPECT_EQ(record.remainder, kPaintWhite);

    ConfirmParams(record, false, 65837);
    EXPECT_EQ(record.maxDepth, 65837 - 65536);
    EXPECT_EQ(record.remainder, kLeaveBlack);
    // Nothing else of the record is the dialog's to change.
    EXPECT_TRUE(record.IsValid());
}

TEST(ParamsDialogLogic, OpensWithTheStoredDepthLimitedToTheSliderRange) {
    struct SCase {
        uint16_t stored;
        int shown;
    };
    for (SCase c : {SCase{0, 1}, SCase{1, 1}, SCase{256, 256}, SCase{300, 300}, SCase{301, 300},
                    SCase{1000, 300}, SCase{65535, 300}}) {
        SCOPED_TRACE(c.stored);
        CVandrelParams record;
        record.maxDepth = c.stored;
        EXPECT_EQ(OpenParamsDialog(record).depth, c.shown);
    }
}

TEST(ParamsDialogLogic, OnlyAnExactWOpensWithTheBoxChecked) {
    for (char stored : {kPaintWhite, kLeaveBlack, 'w', '\0'}) {
        CVandrelParams record;
        record.remainder = stored;
        EXPECT_EQ(OpenParamsDialog(record).paintWhite, stored == kPaintWhite) << int(stored);
    }
}

TEST(ParamsDialogLogic, TypingAndDraggingLeaveOneDepthWithinRange) {
    SParamsDialogState state = OpenParamsDialog(CVandrelParams());
    TypeDepth(state, 0);
    EXPECT_EQ(state.depth, 1);
    TypeDepth(state, 301);
    EXPECT_EQ(state.depth, 300);
    TypeDepth(state, 77);
    EXPECT_EQ(state.depth, 77);
    for (auto [to, shown] : {std::pair{200, 200}, {-50, 1}, {999, 300}, {33, 33}}) {
        MoveSlider(state, to);
        EXPECT_EQ(state.depth, shown) << to;
    }
}

}  // namespace
