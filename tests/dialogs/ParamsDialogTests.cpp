// The parameters dialog's procedure on the headless screen, played by a
// user: field and slider always agree within 1..300, and the record changes
// only on OK.
#include <string>
#include <vector>

#include "tests/dialogs/DialogTesting.h"
#include "ui/ParamsDialog.h"

using namespace dialog_testing;

namespace {

using ParamsDialog = DialogTest;

constexpr int kField = IDC_DEPTH_EDIT;
constexpr int kSlider = IDC_DEPTH_SLIDER;
constexpr int kWhite = IDC_PAINT_WHITE;

// The field and the slider show the same depth.
void ExpectShowing(CDialogUser& user, int depth) {
    EXPECT_EQ(user.Text(kField), std::to_string(depth));
    EXPECT_EQ(user.SliderPosition(kSlider), depth);
}

TEST_F(ParamsDialog, OpensWithTheDepthLimitedToTheSliderRange) {
    struct SCase {
        uint16_t stored;
        int shown;
    };
    for (SCase c : {SCase{0, 1}, SCase{1, 1}, SCase{256, 256}, SCase{300, 300}, SCase{301, 300}, SCase{1000, 300},
                    SCase{65535, 300}}) {
        SCOPED_TRACE(c.stored);
        filter.params.maxDepth = c.stored;
        EXPECT_TRUE(RunParams([&](CDialogUser& user) {
            ExpectShowing(user, c.shown);
            EXPECT_EQ(user.Control(kSlider)->rangeMin, kMinDepthUi);
            EXPECT_EQ(user.Control(kSlider)->rangeMax, kMaxDepthUi);
            // Nothing is written before OK, even what the dialog corrected.
            EXPECT_EQ(filter.params.maxDepth, c.stored);
            user.Click(IDOK);
        }));
        EXPECT_EQ(filter.params.maxDepth, c.shown);
    }
}

TEST_F(ParamsDialog, AnEmptiedFieldReadsOneAtOnce) {
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        user.ClearField(kField);
        ExpectShowing(user, 1);
        // Deleting digit by digit: "42" -> "4" -> "" which is "1" again.
        user.Retype(kField, "42");
        user.Backspace(kField);
        ExpectShowing(user, 4);
        user.Backspace(kField);
        ExpectShowing(user, 1);
        user.Click(IDOK);
    }));
    EXPECT_EQ(filter.params.maxDepth, 1);
}

TEST_F(ParamsDialog, TypingFollowsEachKeyAndStopsAtTheMaximum) {
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        user.Retype(kField, "4");
        ExpectShowing(user, 4);
        user.Type(kField, "x5");  // the field takes digits only
        ExpectShowing(user, 45);
        user.Type(kField, "0");
        ExpectShowing(user, 300);
        user.Retype(kField, "0");
        ExpectShowing(user, 1);
        user.Retype(kField, "301");
        ExpectShowing(user, 300);
        user.Click(IDOK);
    }));
    EXPECT_EQ(filter.params.maxDepth, 300);
}

TEST_F(ParamsDialog, DraggingTheSliderUpdatesTheFieldAtEveryStep) {
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        std::vector<std::string> seen;
        user.DragSlider(kSlider, {200, 120, 7, -50, 999, 33}, [&] { seen.push_back(user.Text(kField)); });
        EXPECT_EQ(seen, (std::vector<std::string>{"200", "120", "7", "1", "300", "33"}));
        ExpectShowing(user, 33);
        user.Click(IDOK);
    }));
    EXPECT_EQ(filter.params.maxDepth, 33);
}

TEST_F(ParamsDialog, KeyboardAndPageMovesTakeTheSlidersNewPosition) {
    using headless::ESliderKey;
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        ExpectShowing(user, 256);
        user.PressSliderKey(kSlider, ESliderKey::Left);
        ExpectShowing(user, 255);
        user.PressSliderKey(kSlider, ESliderKey::Down);
        ExpectShowing(user, 256);
        user.PressSliderKey(kSlider, ESliderKey::PageUp);
        const int paged = user.SliderPosition(kSlider);
        EXPECT_LT(paged, 255);
        ExpectShowing(user, paged);
        user.PressSliderKey(kSlider, ESliderKey::PageDown);
        ExpectShowing(user, 256);
        user.PressSliderKey(kSlider, ESliderKey::End);
        ExpectShowing(user, 300);
        user.PressSliderKey(kSlider, ESliderKey::Right);
        ExpectShowing(user, 300);
        user.PressSliderKey(kSlider, ESliderKey::Home);
        ExpectShowing(user, 1);
        user.PressSliderKey(kSlider, ESliderKey::Up);
        ExpectShowing(user, 1);
        user.Click(IDOK);
    }));
    EXPECT_EQ(filter.params.maxDepth, 1);
}

TEST_F(ParamsDialog, ScrollCodesBeyondEndTrackAreIgnored) {
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        HWND slider = user.Control(kSlider);
        const LPARAM from = reinterpret_cast<LPARAM>(slider);
        // A slider moved without telling the dialog: only a code the dialog
        // acts on brings the field to it.
        slider->position = 99;
        EXPECT_EQ(ParamsDialogProc(user.Handle(), WM_HSCROLL, MAKEWPARAM(9, 17), from), TRUE);
        EXPECT_EQ(ParamsDialogProc(user.Handle(), WM_HSCROLL, MAKEWPARAM(0xFFFF, 17), from), TRUE);
        EXPECT_EQ(user.Text(kField), "256");
        // The thumb codes carry their position; the others read the slider's.
        EXPECT_EQ(ParamsDialogProc(user.Handle(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 17), from), TRUE);
        ExpectShowing(user, 17);
        slider->position = 99;
        ParamsDialogProc(user.Handle(), WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 17), from);
        ExpectShowing(user, 99);
        EXPECT_EQ(ParamsDialogProc(user.Handle(), WM_CLOSE, 0, 0), FALSE);
        user.Click(IDOK);
    }));
}

TEST_F(ParamsDialog, EveryWayOfCancellingKeepsTheRecord) {
    using Close = void (*)(CDialogUser&);
    const std::vector<std::pair<const char*, Close>> ways = {
        {"Cancel", [](CDialogUser& user) { user.Click(IDCANCEL); }},
        {"Escape", [](CDialogUser& user) { user.PressEscape(); }},
        {"close box", [](CDialogUser& user) { user.ClickCloseBox(); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        filter.params.maxDepth = 42;
        filter.params.remainder = kPaintWhite;
        EXPECT_FALSE(RunParams([&](CDialogUser& user) {
            user.Retype(kField, "200");
            user.Click(kWhite);
            user.DragSlider(kSlider, {12});
            close(user);
            EXPECT_FALSE(user.IsOpen());
        }));
        EXPECT_EQ(filter.params.maxDepth, 42);
        EXPECT_EQ(filter.params.remainder, kPaintWhite);
        EXPECT_EQ(Desktop().sessions.back().result, IDCANCEL);
    }
}

TEST_F(ParamsDialog, TheBoxShowsPaintWhiteAndOkStoresItsState) {
    struct SCase {
        char stored;
        bool checked;
        bool toggle;
        char confirmed;
    };
    for (SCase c : {SCase{kPaintWhite, true, true, kLeaveBlack}, SCase{kPaintWhite, true, false, kPaintWhite},
                    SCase{kLeaveBlack, false, true, kPaintWhite}, SCase{'w', false, false, kLeaveBlack},
                    SCase{'\0', false, false, kLeaveBlack}}) {
        SCOPED_TRACE(std::string(1, c.stored));
        filter.params.remainder = c.stored;
        EXPECT_TRUE(RunParams([&](CDialogUser& user) {
            EXPECT_EQ(user.IsChecked(kWhite), c.checked);
            if (c.toggle) user.Click(kWhite);
            EXPECT_EQ(filter.params.remainder, c.stored);
            user.PressEnter();
        }));
        EXPECT_EQ(filter.params.remainder, c.confirmed);
    }
}

TEST_F(ParamsDialog, OkKeepsTheLowSixteenBitsOfTheField) {
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        // A field changed behind the dialog's back, without a notification.
        user.Control(kField)->text = u"65837";
        user.Click(IDOK);
    }));
    EXPECT_EQ(filter.params.maxDepth, 65837 - 65536);
}

TEST_F(ParamsDialog, OkIsOkWhateverNotificationComesWithIt) {
    EXPECT_TRUE(RunParams([](CDialogUser& user) {
        user.Retype(kField, "77");
        user.SendCommand(MAKEWPARAM(IDOK, 1));
    }));
    EXPECT_EQ(filter.params.maxDepth, 77);
    EXPECT_EQ(Desktop().sessions.back().result, IDOK);
}

TEST_F(ParamsDialog, OpensOverTheHostWindowFromThePluginsModule) {
    platform.hwnd = 0x5150;
    ModuleHandle saved = gModuleInstance;
    gModuleInstance = reinterpret_cast<ModuleHandle>(uintptr_t(0x7000));
    EXPECT_TRUE(RunParams([](CDialogUser& user) { user.Click(IDOK); }));
    gModuleInstance = saved;

    ASSERT_EQ(Desktop().sessions.size(), 1u);
    const headless::SDialogSession& session = Desktop().sessions[0];
    EXPECT_EQ(session.templateId, IDD_PARAMS);
    EXPECT_EQ(session.owner, reinterpret_cast<HWND>(uintptr_t(0x5150)));
    EXPECT_EQ(session.instance, reinterpret_cast<HINSTANCE>(uintptr_t(0x7000)));
    EXPECT_EQ(session.init, 0);
}

TEST_F(ParamsDialog, OpensInAHostThatNeverRegisteredTheSlider) {
    ASSERT_FALSE(Desktop().trackbarClassRegistered);
    EXPECT_TRUE(RunParams([](CDialogUser& user) { user.Click(IDOK); }));
    EXPECT_TRUE(Desktop().sessions.back().created);
}

TEST_F(ParamsDialog, ADialogThatCannotBeCreatedIsACancel) {
    filter.params.maxDepth = 42;
    {
        CScopedEnv script(headless::kDialogScriptVariable, "depth=7;fail");
        EXPECT_FALSE(filter.RunParamsDialog());
    }
    EXPECT_FALSE(Desktop().sessions.back().created);
    EXPECT_EQ(filter.params.maxDepth, 42);

    // Without a filter object there is no record to edit.
    gFilter = nullptr;
    EXPECT_FALSE(RunParams([](CDialogUser& user) { user.Click(IDOK); }));
    EXPECT_EQ(filter.params.maxDepth, 42);
}

}  // namespace
