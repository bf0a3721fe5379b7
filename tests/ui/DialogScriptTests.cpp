// The scripted answer that stands in for the user on Linux: what it
// accepts, and what each answer leaves in the record the dialog edits.
#include <gtest/gtest.h>

#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"
#include "tests/ui/DialogTesting.h"
#include "ui/linux/DialogScript.h"

using dialog_testing::CScopedEnv;
using namespace headless;

namespace {

CVandrelParams Record(uint16_t depth, char remainder) {
    CVandrelParams record;
    record.maxDepth = depth;
    record.remainder = remainder;
    return record;
}

TEST(DialogScript, ReadsActionsWithSpacesAndEmptyStepsAndRefusesWhatItCannotRead) {
    const SDialogScript script = ParseDialogScript("  depth = 42 ;; white=1;slider=-5; web ;ok;");
    ASSERT_TRUE(script.valid);
    ASSERT_EQ(script.actions.size(), 5u);
    EXPECT_EQ(script.actions[0].kind, SDialogAction::EKind::Depth);
    EXPECT_EQ(script.actions[0].value, 42);
    EXPECT_EQ(script.actions[2].value, -5);
    EXPECT_EQ(script.actions[4].kind, SDialogAction::EKind::Ok);
    EXPECT_TRUE(ParseDialogScript("depth=1;fail").failCreation);

    for (const char* bad : {"depth=4x2", "depth=-1", "white=2", "colour=3", "press the big button",
                            "depth=", "depth=99999999999"}) {
        const SDialogScript refused = ParseDialogScript(bad);
        EXPECT_FALSE(refused.valid) << bad;
        EXPECT_FALSE(refused.error.empty()) << bad;
    }
}

TEST(DialogScript, OkStoresWhatTheDialogShowsAfterEachAction) {
    struct SCase {
        const char* script;
        uint16_t depth;
        char remainder;
    };
    for (SCase c :
         {SCase{"depth=42;white=1;ok", 42, kPaintWhite}, SCase{"depth=0;ok", 1, kLeaveBlack},
          SCase{"depth=3000", 300, kLeaveBlack}, SCase{"slider=-50;white=0;white=1", 1, kPaintWhite},
          SCase{"depth=10;slider=999;ok;depth=7", 300, kLeaveBlack}, SCase{"web;ok", 256, kLeaveBlack}}) {
        SCOPED_TRACE(c.script);
        CVandrelParams record = Record(256, kLeaveBlack);
        EXPECT_EQ(AnswerParamsDialog(ParseDialogScript(c.script), record), kDialogOk);
        EXPECT_EQ(record.maxDepth, c.depth);
        EXPECT_EQ(record.remainder, c.remainder);
    }
}

TEST(DialogScript, WithoutAnAnswerTheDialogIsConfirmedAsItOpens) {
    CVandrelParams record = Record(1000, 'w');
    EXPECT_EQ(AnswerParamsDialog(ParseDialogScript(""), record), kDialogOk);
    EXPECT_EQ(record.maxDepth, 300);
    EXPECT_EQ(record.remainder, kLeaveBlack);
}

TEST(DialogScript, CancellingOrFailingToOpenLeavesTheRecordAlone) {
    struct SCase {
        const char* script;
        int result;
    };
    for (SCase c : {SCase{"depth=200;white=0;cancel", kDialogCancel},
                    SCase{"slider=9;escape;ok", kDialogCancel}, SCase{"close", kDialogCancel},
                    SCase{"depth=7;fail", kDialogFailed}, SCase{"depth=4x2;ok", kDialogFailed}}) {
        SCOPED_TRACE(c.script);
        CVandrelParams record = Record(42, kPaintWhite);
        EXPECT_EQ(AnswerParamsDialog(ParseDialogScript(c.script), record), c.result);
        EXPECT_EQ(record.maxDepth, 42);
        EXPECT_EQ(record.remainder, kPaintWhite);
    }
}

TEST(DialogScript, TheAboutBoxSkipsTheParametersAndClosesAsAsked) {
    struct SCase {
        const char* script;
        int result;
    };
    for (SCase c :
         {SCase{"", kDialogOk}, SCase{"web;web;depth=3;white=1", kDialogOk},
          SCase{"web;ok;cancel", kDialogOk}, SCase{"cancel", kDialogCancel}, SCase{"escape", kDialogCancel},
          SCase{"close;ok", kDialogCancel}, SCase{"fail", kDialogFailed}, SCase{"nonsense", kDialogFailed}}) {
        EXPECT_EQ(AnswerAboutBox(ParseDialogScript(c.script)), c.result) << c.script;
    }
}

// The filter's own dialog call, as the parameters selector makes it.
class FilterDialogs : public ::testing::Test {
protected:
    FilterDialogs() { gFilter = &filter; }
    ~FilterDialogs() override { gFilter = nullptr; }

    CVandrelFilter filter;
};

TEST_F(FilterDialogs, TheParametersDialogEditsTheCurrentFiltersRecord) {
    CScopedEnv script(kDialogScriptVariable, "depth=42;white=1;ok");
    EXPECT_TRUE(filter.RunParamsDialog());
    EXPECT_EQ(filter.params.maxDepth, 42);
    EXPECT_EQ(filter.params.remainder, kPaintWhite);
}

TEST_F(FilterDialogs, WithoutACurrentFilterThereIsNothingToEditAndTheDialogIsACancel) {
    CScopedEnv script(kDialogScriptVariable, "depth=42;ok");
    gFilter = nullptr;
    EXPECT_FALSE(filter.RunParamsDialog());
    EXPECT_EQ(filter.params.maxDepth, kDefaultMaxDepth);
}

TEST_F(FilterDialogs, TheAboutBoxReportsHowItClosed) {
    CScopedEnv script(kDialogScriptVariable, "web;escape");
    EXPECT_EQ(filter.ShowAboutBox(), kDialogCancel);
}

}  // namespace
