#include "ui/AboutBox.h"

#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"
#include "resources/PluginInfo.h"
#include "ui/DialogText.h"

namespace {

// The title's font, alive only while a box is open.
HFONT gTitleFont = nullptr;

constexpr int kTitlePoints = 28;
constexpr int kPointsPerInch = 72;

void DeleteTitleFont() {
    if (!gTitleFont) return;
    DeleteObject(gTitleFont);
    gTitleFont = nullptr;
}

void SetControlText(HWND dialog, int id, const char* text) {
    WCHAR buffer[kDialogTextUnits];
    Utf8ToDialogText(text, buffer);
    SetWindowTextW(GetDlgItem(dialog, id), buffer);
}

void InitAboutBox(HWND dialog) {
    // Points to pixels on this screen; a negative height asks for the
    // character's height rather than the cell's.
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(kTitlePoints, GetDeviceCaps(screen, LOGPIXELSY), kPointsPerInch);
    ReleaseDC(nullptr, screen);

    gTitleFont = CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Shell Dlg");
    // Without it the title simply keeps the dialog's font.
    if (gTitleFont)
        SendDlgItemMessageA(dialog, IDC_ABOUT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(gTitleFont), TRUE);

    if (const CPSFilter* filter = gFilter) {
        SetControlText(dialog, IDC_ABOUT_TITLE, filter->productName);
        SetControlText(dialog, IDC_ABOUT_VERSION, filter->versionText);
        SetControlText(dialog, IDC_ABOUT_COPYRIGHT, filter->copyrightText);
    }
}

void OpenHomePage() {
    const CPSFilter* filter = gFilter;
    // Whether the shell managed it or not, the box stays as it is.
    if (filter && filter->homePage) ShellExecuteA(nullptr, nullptr, filter->homePage, nullptr, nullptr, SW_SHOW);
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: InitAboutBox(dialog); return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    // Cancel also comes from the close box and the Escape key.
                    EndDialog(dialog, LOWORD(wParam));
                    DeleteTitleFont();
                    return TRUE;
                case IDC_ABOUT_WEB: OpenHomePage(); return TRUE;
                default: return FALSE;
            }
        default: return FALSE;
    }
}

int CVandrelFilter::ShowAboutBox() {
    const INT_PTR result =
        DialogBoxParamA(static_cast<HINSTANCE>(gModuleInstance), MAKEINTRESOURCEA(IDD_ABOUT),
                        HostWindow(aboutRecord ? aboutRecord->platformData : nullptr), AboutDialogProc, 0);
    // A box closed by other means than its commands, such as the host
    // destroying its owner, must not leave its font behind.
    DeleteTitleFont();
    return static_cast<int>(result);
}
