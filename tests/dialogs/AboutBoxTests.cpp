// The About box's procedure on the headless screen: texts as UTF-16, the
// title font sized for the screen and never outliving the box, the web
// button.
#include <string>
#include <vector>

#include "tests/dialogs/DialogTesting.h"
#include "ui/AboutBox.h"

using namespace dialog_testing;

namespace {

using AboutBox = DialogTest;

TEST_F(AboutBox, ShowsTheFiltersTextsAsUtf16) {
    filter.productName = "Vändrel Prö ✓ 𝄞";
    ShowAbout([](CDialogUser& user) {
        EXPECT_EQ(user.Text16(IDC_ABOUT_TITLE), u"Vändrel Prö ✓ 𝄞");
        EXPECT_EQ(user.Text(IDC_ABOUT_VERSION), VANDREL_VERSION_TEXT);
        EXPECT_EQ(user.Text(IDC_ABOUT_COPYRIGHT), VANDREL_COPYRIGHT);
        user.Click(IDOK);
    });
}

TEST_F(AboutBox, TextsLongerThanTheBufferAreCutToWholeCharacters) {
    const std::string plain(300, 'a');
    // 126 units, then a character of two: it cannot be split at 127.
    const std::string astral = std::string(126, 'b') + "𝄞" + "tail";
    filter.productName = plain.c_str();
    filter.versionText = astral.c_str();
    filter.copyrightText = nullptr;
    ShowAbout([](CDialogUser& user) {
        EXPECT_EQ(user.Text16(IDC_ABOUT_TITLE), std::u16string(127, u'a'));
        EXPECT_EQ(user.Text16(IDC_ABOUT_VERSION), std::u16string(126, u'b'));
        EXPECT_EQ(user.Text16(IDC_ABOUT_COPYRIGHT), u"");
        user.Click(IDOK);
    });
}

TEST_F(AboutBox, TitleFontIsTwentyEightPointsOnThisScreen) {
    struct SCase {
        int dpi;
        int height;
    };
    // 28 points at 96 dpi are 37.33 pixels; MulDiv rounds to the nearest.
    for (SCase c : {SCase{96, -37}, SCase{120, -47}, SCase{144, -56}, SCase{72, -28}}) {
        SCOPED_TRACE(c.dpi);
        Desktop().logicalDpiY = c.dpi;
        ShowAbout([&](CDialogUser& user) {
            const HFONT__* font = Desktop().LastFont();
            ASSERT_NE(font, nullptr);
            EXPECT_EQ(font->height, c.height);
            EXPECT_EQ(font->width, 0);
            EXPECT_EQ(font->weight, 0);
            EXPECT_FALSE(font->italic || font->underline || font->strikeOut);
            EXPECT_EQ(font->charSet, 0u);
            EXPECT_EQ(font->face, "MS Shell Dlg");
            EXPECT_EQ(user.FontOf(IDC_ABOUT_TITLE), font);
            EXPECT_EQ(user.FontOf(IDC_ABOUT_VERSION), nullptr);
            user.Click(IDOK);
        });
    }
    EXPECT_EQ(Desktop().devicesTaken, Desktop().devicesReleased);
}

TEST_F(AboutBox, EveryWayOfClosingDeletesTheFontAndEachOpeningMakesANewOne) {
    using Close = void (*)(CDialogUser&);
    const std::vector<std::pair<const char*, Close>> ways = {
        {"OK", [](CDialogUser& user) { user.Click(IDOK); }},
        {"Enter", [](CDialogUser& user) { user.PressEnter(); }},
        {"Escape", [](CDialogUser& user) { user.PressEscape(); }},
        {"close box", [](CDialogUser& user) { user.ClickCloseBox(); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        const size_t before = Desktop().fonts.size();
        ShowAbout([&](CDialogUser& user) {
            EXPECT_EQ(Desktop().LiveFonts(), 1);
            close(user);
            EXPECT_FALSE(user.IsOpen());
            // Deleted by the closing command itself, not later.
            EXPECT_EQ(Desktop().LiveFonts(), 0);
        });
        EXPECT_EQ(Desktop().fonts.size(), before + 1);
    }
    EXPECT_EQ(Desktop().failedFontDeletions, 0);
}

TEST_F(AboutBox, TheWebButtonOpensThePageEachTimeAndLeavesTheBoxOpen) {
    ShowAbout([](CDialogUser& user) {
        for (int press = 1; press <= 3; ++press) {
            user.Click(IDC_ABOUT_WEB);
            EXPECT_TRUE(user.IsOpen());
            EXPECT_EQ(Desktop().shellOpens.size(), size_t(press));
        }
        EXPECT_EQ(Desktop().LiveFonts(), 1);
        user.Click(IDOK);
    });
    for (const headless::SShellOpen& open : Desktop().shellOpens) {
        EXPECT_EQ(open.file, VANDREL_HOME_PAGE);
        EXPECT_EQ(open.owner, nullptr);
        EXPECT_EQ(open.verb, "");
        EXPECT_EQ(open.parameters, "");
        EXPECT_EQ(open.directory, "");
        EXPECT_EQ(open.show, SW_SHOW);
    }
}

TEST_F(AboutBox, CommandsOfNoButtonAreLeftToTheSystem) {
    ShowAbout([](CDialogUser& user) {
        EXPECT_EQ(AboutDialogProc(user.Handle(), WM_COMMAND, 0, 0), FALSE);
        EXPECT_EQ(AboutDialogProc(user.Handle(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_TITLE, 0), 0), FALSE);
        EXPECT_EQ(AboutDialogProc(user.Handle(), WM_HSCROLL, 0, 0), FALSE);
        EXPECT_TRUE(user.IsOpen());
        EXPECT_TRUE(Desktop().shellOpens.empty());
        user.Click(IDOK);
    });
}

TEST_F(AboutBox, OpensOverTheHostWindowOfTheAboutRecord) {
    platform.hwnd = 0xAB0;
    EXPECT_EQ(ShowAbout([](CDialogUser& user) { user.Click(IDOK); }), IDOK);
    ASSERT_EQ(Desktop().sessions.size(), 1u);
    EXPECT_EQ(Desktop().sessions[0].templateId, IDD_ABOUT);
    EXPECT_EQ(Desktop().sessions[0].owner, reinterpret_cast<HWND>(uintptr_t(0xAB0)));
}

TEST_F(AboutBox, ABoxThatVanishesWithoutACommandLeavesNoFont) {
    // The host tears the box down: no OK or Cancel ever arrives.
    ShowAbout([](CDialogUser& user) { EndDialog(user.Handle(), 0); });
    EXPECT_EQ(Desktop().LiveFonts(), 0);
    EXPECT_EQ(Desktop().failedFontDeletions, 0);
}

}  // namespace
