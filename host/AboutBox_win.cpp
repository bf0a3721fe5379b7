// The About box on Windows: the window system's side of it. What each
// command means and how large the title is come from ui/AboutBoxLogic.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <new>
#include <vector>

#include "host/AboutBox.h"
#include "host/DialogContext.h"
#include "host/DialogProcedures_win.h"
#include "host/PluginGlobals.h"
#include "host/PSFilter.h"
#include "resources/PluginInfo.h"
#include "ui/AboutBoxLogic.h"

namespace {

// The title's font, alive only while a box is open.
HFONT gTitleFont = nullptr;

void DeleteTitleFont() {
    if (!gTitleFont) return;
    DeleteObject(gTitleFont);
    gTitleFont = nullptr;
}

// UTF-8 in the code, UTF-16 on the screen, in a buffer of fixed size that
// is always terminated; a null text shows empty.
void ToDialogText(const char* text, WCHAR (&buffer)[kDialogTextUnits]) {
    buffer[0] = 0;
    if (!text) return;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, kDialogTextUnits) > 0) return;

    // A text too long for the buffer fails to convert and leaves the buffer
    // unterminated; convert it whole and keep the head.
    buffer[0] = 0;
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (needed <= 0) return;
    try {
        std::vector<WCHAR> whole(size_t(needed), 0);
        if (MultiByteToWideChar(CP_UTF8, 0, text, -1, whole.data(), needed) != needed) return;
        const int keep = DialogTextUnitsToKeep(whole.data(), needed - 1);
        std::copy_n(whole.begin(), keep, buffer);
        buffer[keep] = 0;
    } catch (const std::bad_alloc&) {
        // Nothing may be thrown through the window system: show an empty text instead.
        buffer[0] = 0;
    }
}

void SetControlText(HWND dialog, int id, const char* text) {
    WCHAR buffer[kDialogTextUnits];
    ToDialogText(text, buffer);
    SetWindowTextW(GetDlgItem(dialog, id), buffer);
}

void InitAboutBox(HWND dialog) {
    HDC screen = GetDC(nullptr);
    const int height = TitleFontHeight(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);

    gTitleFont =
        CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
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
    if (filter && filter->homePage)
        ShellExecuteA(nullptr, nullptr, filter->homePage, nullptr, nullptr, SW_SHOW);
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitAboutBox(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (AboutCommandOf(LOWORD(wParam))) {
                case EAboutCommand::Close:
                    EndDialog(dialog, LOWORD(wParam));
                    DeleteTitleFont();
                    return TRUE;
                case EAboutCommand::OpenHomePage:
                    OpenHomePage();
                    return TRUE;
                case EAboutCommand::LeftToSystem:
                    return FALSE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

int ShowAboutBox(const AboutRecord* aboutRecord) {
    const HWND owner = reinterpret_cast<HWND>(OwnerWindow(aboutRecord ? aboutRecord->platformData : nullptr));
    const INT_PTR result = DialogBoxParamA(static_cast<HINSTANCE>(gModuleInstance),
                                           MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
    // A box closed by other means than its commands, such as the host
    // destroying its owner, must not leave its font behind.
    DeleteTitleFont();
    return static_cast<int>(result);
}
