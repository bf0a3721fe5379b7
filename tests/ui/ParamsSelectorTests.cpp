// The dialogs through the real plug-in: the host simulator's user answers
// them through the scripted answer the plug-in reads on Linux.
#include "tests/ui/DialogTesting.h"
#include "tests/params/ParamsTesting.h"
#include "ui/linux/DialogScript.h"

using namespace params_testing;
using dialog_testing::CScopedEnv;

namespace {

class ParamsSelector : public ParamsTest {
protected:
    ParamsSelector() { SetPlayInfo(host::plugInDialogDisplay); }

    int16_t AnswerParameters(const char* answer) {
        CScopedEnv script(headless::kDialogScriptVariable, answer);
        return host.Call(host::filterSelectorParameters);
    }
};

TEST_F(ParamsSelector, ConfirmedValuesAreSavedHandedOnAndUsedByTheRun) {
    CScopedEnv script(headless::kDialogScriptVariable, "depth=42; white=1; ok");
    const sim::SRunResult run = host.RunFilter(true);
    ASSERT_TRUE(run.Succeeded());
    ASSERT_EQ(run.calls.front().first, host::filterSelectorParameters);

    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(42, kPaintWhite));
    const auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->depth, 42);
    EXPECT_EQ(block->remainder, kPaintWhite);
    EXPECT_EQ(Recorded(host), (SRecorded{42, true}));
}

TEST_F(ParamsSelector, CancelReturnsUserCanceledAndStillWritesTheHandle) {
    for (const char* answer : {"depth=42;white=0;cancel", "slider=9;escape", "white=0;close"}) {
        SCOPED_TRACE(answer);
        WriteFile(PrefsFile(host), PrefsLine(99, kPaintWhite));
        EXPECT_EQ(AnswerParameters(answer), host::userCanceledErr);
        EXPECT_EQ(host.dataSlot, 0);

        // The values from before the dialog, and the file as it was.
        const auto block = HandleBlock(host);
        ASSERT_TRUE(block);
        EXPECT_EQ(block->depth, 99);
        EXPECT_EQ(block->remainder, kPaintWhite);
        EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(99, kPaintWhite));
    }
}

TEST_F(ParamsSelector, ADialogThatCannotOpenIsACancel) {
    // "fail" is a dialog that cannot be created; an answer that cannot be
    // read is one too.
    for (const char* answer : {"fail", "depth=4x2;ok", "press the big button"}) {
        SCOPED_TRACE(answer);
        EXPECT_EQ(AnswerParameters(answer), host::userCanceledErr);
        const auto block = HandleBlock(host);
        ASSERT_TRUE(block);
        EXPECT_EQ(block->depth, kDefaultMaxDepth);
        EXPECT_FALSE(ReadFile(PrefsFile(host)));
    }
}

TEST_F(ParamsSelector, WithoutAnAnswerTheDialogIsConfirmedAsItOpens) {
    WriteFile(PrefsFile(host), PrefsLine(1000, kPaintWhite));
    EXPECT_EQ(AnswerParameters(nullptr), host::noErr);
    // What it showed: the depth limited to the dialog's range.
    EXPECT_EQ(ReadFile(PrefsFile(host)), PrefsLine(300, kPaintWhite));
    const auto block = HandleBlock(host);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->depth, 300);
}

TEST_F(ParamsSelector, TheAboutSelectorSucceedsWhateverTheUserDoes) {
    for (const char* answer : {"web;web;ok", "cancel", "close", "fail", "nonsense"}) {
        SCOPED_TRACE(answer);
        CScopedEnv script(headless::kDialogScriptVariable, answer);
        EXPECT_EQ(host.Call(host::filterSelectorAbout), host::noErr);
        EXPECT_EQ(host.dataSlot, 0);
    }
}

}  // namespace
