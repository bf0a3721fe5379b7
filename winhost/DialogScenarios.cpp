// The real parameters dialog and About box on the screen, worked by a
// person at the keyboard and mouse while the host waits in the selector:
// what the dialogs show, what each control does to the others, and what
// OK, Cancel, Enter and Escape leave in the handle and the preferences file.
#include <windows.h>
#include <commctrl.h>

#include <sstream>
#include <vector>

#include "resources/PluginInfo.h"
#include "params/VandrelParams.h"
#include "winhost/Check.h"
#include "winhost/DialogDriver.h"
#include "winhost/ScenarioHost.h"

using namespace winhost;

namespace {

constexpr char kParamsCaption[] = "Vandrel";
constexpr char kAboutCaption[] = "About Plug-In";

int SliderPosition(const CScreenUser& user) { return int(user.Send(IDC_DEPTH_SLIDER, TBM_GETPOS)); }

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The addresses the test browser was asked to open, once `count` arrived
// or a few seconds passed.
std::vector<std::string> OpenedAddresses(size_t count) {
    std::vector<std::string> lines;
    for (int waited = 0; waited < 15000; waited += 100) {
        lines.clear();
        std::istringstream log(ReadTextFile(Options().browserLog).value_or(""));
        for (std::string line; std::getline(log, line);)
            if (!line.empty()) lines.push_back(line);
        if (lines.size() >= count) break;
        Sleep(100);
    }
    return lines;
}

}  // namespace

WH_SCENARIO(Dialogs, ParamsOpensWithTheDefaultsAndOkKeepsWhatWasTyped) {
    RemovePrefsFile();
    CScenarioHost host;
    int16_t result = 0;
    {
        CDialogDriver driver(kParamsCaption, [](CScreenUser& user) {
            WH_CHECK(GetWindow(user.Dialog(), GW_OWNER) == HostWindow());
            WH_CHECK_EQ(ClassOf(user.Item(IDC_DEPTH_SLIDER)), std::string("msctls_trackbar32"));
            WH_CHECK_EQ(user.Text(IDC_PAINT_WHITE), std::string("Paint too deep pixels white."));
            WH_CHECK_EQ(user.Text(IDOK), std::string("OK"));
            WH_CHECK_EQ(user.Text(IDCANCEL), std::string("Cancel"));
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("256"));
            WH_CHECK_EQ(SliderPosition(user), 256);
            WH_CHECK_EQ(int(user.Send(IDC_DEPTH_SLIDER, TBM_GETRANGEMIN)), 1);
            WH_CHECK_EQ(int(user.Send(IDC_DEPTH_SLIDER, TBM_GETRANGEMAX)), 300);
            WH_CHECK(!user.Checked(IDC_PAINT_WHITE));
            user.Screenshot("params-dialog");

            user.SelectAll(IDC_DEPTH_EDIT);
            user.Type(IDC_DEPTH_EDIT, "4");
            WH_CHECK_EQ(SliderPosition(user), 4);
            user.Type(IDC_DEPTH_EDIT, "2");
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("42"));
            WH_CHECK_EQ(SliderPosition(user), 42);
            user.Click(IDC_PAINT_WHITE);
            WH_CHECK(user.Checked(IDC_PAINT_WHITE));
            user.Screenshot("params-dialog-edited");
            user.Click(IDOK);
        });
        result = host.Parameters(host::plugInDialogDisplay);
    }
    WH_CHECK_EQ(result, int16_t(host::noErr));
    WH_CHECK_EQ(host.HandleBlock(), (std::optional<SBlock>(SBlock{kPluginCode, 1, 42, 'W'})));
    WH_CHECK_EQ(ReadTextFile(PrefsFilePath()), std::optional<std::string>(PrefsLine(42, 'W')));
    WH_CHECK_EQ(host.PrepareAndStart(host::plugInDialogDisplay), int16_t(host::noErr));
    WH_CHECK_EQ(host.Recorded(), (std::optional<SRecorded>(SRecorded{42, true})));
}

WH_SCENARIO(Dialogs, ParamsFieldAndSliderFollowEachOtherAndEscapeCancels) {
    WriteTextFile(PrefsFilePath(), PrefsLine(42, 'W'));
    CScenarioHost host;
    int16_t result = 0;
    {
        CDialogDriver driver(kParamsCaption, [](CScreenUser& user) {
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("42"));
            WH_CHECK_EQ(SliderPosition(user), 42);
            WH_CHECK(user.Checked(IDC_PAINT_WHITE));

            // The thumb dragged: the field follows while it moves.
            user.DragThumb(IDC_DEPTH_SLIDER, 150);
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("150"));
            // Keyboard moves: the field takes the slider's own new position.
            user.ControlKey(IDC_DEPTH_SLIDER, VK_RIGHT);
            WH_CHECK_EQ(SliderPosition(user), 151);
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("151"));
            user.ControlKey(IDC_DEPTH_SLIDER, VK_END);
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("300"));
            user.ControlKey(IDC_DEPTH_SLIDER, VK_HOME);
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("1"));

            // Typed one too high, it is bounded at once; letters are
            // refused; a cleared field reads the minimum at once.
            user.SelectAll(IDC_DEPTH_EDIT);
            user.Type(IDC_DEPTH_EDIT, "301");
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("300"));
            WH_CHECK_EQ(SliderPosition(user), 300);
            user.SelectAll(IDC_DEPTH_EDIT);
            user.Type(IDC_DEPTH_EDIT, "x");
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("300"));
            user.SelectAll(IDC_DEPTH_EDIT);
            user.Type(IDC_DEPTH_EDIT, "\b");
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("1"));
            WH_CHECK_EQ(SliderPosition(user), 1);

            user.Click(IDC_PAINT_WHITE);
            WH_CHECK(!user.Checked(IDC_PAINT_WHITE));
            user.DialogKey(IDC_DEPTH_EDIT, VK_ESCAPE);
            WH_CHECK(user.WaitClosed(5000));
        });
        result = host.Parameters(host::plugInDialogDisplay);
    }
    // Nothing of the session survives: the handle holds the values from
    // before the dialog, and the file is as it was.
    WH_CHECK_EQ(result, int16_t(host::userCanceledErr));
    WH_CHECK_EQ(host.sim.dataSlot, intptr_t(0));
    WH_CHECK_EQ(host.HandleBlock(), (std::optional<SBlock>(SBlock{kPluginCode, 1, 42, 'W'})));
    WH_CHECK_EQ(ReadTextFile(PrefsFilePath()), std::optional<std::string>(PrefsLine(42, 'W')));
}

WH_SCENARIO(Dialogs, ParamsBoundsDepthsFromTheDescriptorAndEnterConfirms) {
    RemovePrefsFile();
    CScenarioHost host;
    int16_t result = 0;
    host.GiveDescriptor(1000, false);
    {
        CDialogDriver driver(kParamsCaption, [](CScreenUser& user) {
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("300"));
            WH_CHECK_EQ(SliderPosition(user), 300);
            user.DialogKey(IDC_DEPTH_EDIT, VK_RETURN);
            WH_CHECK(user.WaitClosed(5000));
        });
        result = host.Parameters(host::plugInDialogDisplay);
    }
    WH_CHECK_EQ(result, int16_t(host::noErr));
    WH_CHECK_EQ(host.HandleBlock(), (std::optional<SBlock>(SBlock{kPluginCode, 1, 300, 'B'})));
    WH_CHECK_EQ(ReadTextFile(PrefsFilePath()), std::optional<std::string>(PrefsLine(300, 'B')));

    host.GiveDescriptor(0, true);
    {
        CDialogDriver driver(kParamsCaption, [](CScreenUser& user) {
            WH_CHECK_EQ(user.Text(IDC_DEPTH_EDIT), std::string("1"));
            WH_CHECK_EQ(SliderPosition(user), 1);
            WH_CHECK(user.Checked(IDC_PAINT_WHITE));
            user.Click(IDCANCEL);
        });
        result = host.Parameters(host::plugInDialogDisplay);
    }
    WH_CHECK_EQ(result, int16_t(host::userCanceledErr));
    WH_CHECK_EQ(ReadTextFile(PrefsFilePath()), std::optional<std::string>(PrefsLine(300, 'B')));
    RemovePrefsFile();
}

// A button can report more than a click (a double click, with BS_NOTIFY):
// the notification code comes in the high word of the command, and OK must
// still read as OK and keep what was typed.
WH_SCENARIO(Dialogs, ParamsOkWithANotificationCodeStillConfirms) {
    RemovePrefsFile();
    CScenarioHost host;
    int16_t result = 0;
    {
        CDialogDriver driver(kParamsCaption, [](CScreenUser& user) {
            user.SelectAll(IDC_DEPTH_EDIT);
            user.Type(IDC_DEPTH_EDIT, "77");
            PostMessageA(user.Dialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_DOUBLECLICKED),
                         reinterpret_cast<LPARAM>(user.Item(IDOK)));
            WH_CHECK(user.WaitClosed(5000));
        });
        result = host.Parameters(host::plugInDialogDisplay);
    }
    WH_CHECK_EQ(result, int16_t(host::noErr));
    WH_CHECK_EQ(host.HandleBlock(), (std::optional<SBlock>(SBlock{kPluginCode, 1, 77, 'B'})));
    WH_CHECK_EQ(ReadTextFile(PrefsFilePath()), std::optional<std::string>(PrefsLine(77, 'B')));
    RemovePrefsFile();
}

WH_SCENARIO(Dialogs, AboutBoxShowsTheTitleLargeAndItsFontEndsWithTheBox) {
    CScenarioHost host;
    HFONT firstFont = nullptr;
    {
        CDialogDriver driver(kAboutCaption, [&](CScreenUser& user) {
            WH_CHECK(GetWindow(user.Dialog(), GW_OWNER) == HostWindow());
            WH_CHECK(user.Text16(IDC_ABOUT_TITLE) == L"Vandrel Pro");
            WH_CHECK_EQ(user.Text(IDC_ABOUT_VERSION), std::string(VANDREL_VERSION_TEXT));
            WH_CHECK_EQ(user.Text(IDC_ABOUT_COPYRIGHT), std::string(VANDREL_COPYRIGHT));
            WH_CHECK_EQ(user.Text(IDC_ABOUT_WEB), std::string(VANDREL_WEB_BUTTON));

            // 28 points on this screen, as character height.
            HDC screen = GetDC(nullptr);
            const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
            ReleaseDC(nullptr, screen);
            firstFont = reinterpret_cast<HFONT>(user.Send(IDC_ABOUT_TITLE, WM_GETFONT));
            LOGFONTA title{};
            WH_CHECK(firstFont && GetObjectA(firstFont, sizeof title, &title) == sizeof title);
            WH_CHECK_EQ(title.lfHeight, LONG(-MulDiv(28, dpi, 72)));
            WH_CHECK_EQ(title.lfWeight, LONG(FW_DONTCARE));
            WH_CHECK_EQ(std::string(title.lfFaceName), std::string("MS Shell Dlg"));
            WH_CHECK(reinterpret_cast<HFONT>(user.Send(IDC_ABOUT_VERSION, WM_GETFONT)) != firstFont);
            user.Screenshot("about-box");

            // The web button, twice: the page opens each time, the box stays.
            user.Click(IDC_ABOUT_WEB);
            user.Click(IDC_ABOUT_WEB);
            WH_CHECK(user.IsOpen());
            if (!Options().browserLog.empty())
                WH_CHECK_EQ(OpenedAddresses(2),
                            (std::vector<std::string>{VANDREL_HOME_PAGE, VANDREL_HOME_PAGE}));
            user.DialogKey(IDC_ABOUT_WEB, VK_ESCAPE);
            WH_CHECK(user.WaitClosed(5000));
        });
        WH_CHECK_EQ(host.sim.Call(host::filterSelectorAbout), int16_t(host::noErr));
    }
    WH_CHECK(firstFont != nullptr && GetObjectType(firstFont) == 0);
    WH_CHECK_EQ(host.sim.dataSlot, intptr_t(0));

    // Opened again: a font of its own, gone with the box once more.
    HFONT secondFont = nullptr;
    {
        CDialogDriver driver(kAboutCaption, [&](CScreenUser& user) {
            secondFont = reinterpret_cast<HFONT>(user.Send(IDC_ABOUT_TITLE, WM_GETFONT));
            WH_CHECK(secondFont != nullptr && GetObjectType(secondFont) == OBJ_FONT);
            user.Click(IDOK);
        });
        WH_CHECK_EQ(host.sim.Call(host::filterSelectorAbout), int16_t(host::noErr));
    }
    WH_CHECK(secondFont != nullptr && GetObjectType(secondFont) == 0);
}
