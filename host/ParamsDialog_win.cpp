// The parameters dialog on Windows: the window system's side of it. Every
// decision is taken by the dialog's logic (ui/ParamsDialogLogic.h); this
// moves values between it and the controls.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "host/DialogContext.h"
#include "host/DialogProcedures_win.h"
#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"
#include "resources/PluginInfo.h"
#include "ui/ParamsDialogLogic.h"

namespace {

LRESULT SliderMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageA(dialog, IDC_DEPTH_SLIDER, message, wParam, lParam);
}

void InitDialog(HWND dialog, const CVandrelParams& record) {
    CheckDlgButton(dialog, IDC_PAINT_WHITE, record.PaintsWhite() ? BST_CHECKED : BST_UNCHECKED);
    // The field notifies us at once, which brings what it shows into range
    // (DepthEdited) before the slider is even set up.
    SetDlgItemInt(dialog, IDC_DEPTH_EDIT, record.maxDepth, FALSE);
    SliderMessage(dialog, TBM_SETRANGE, TRUE, MAKELPARAM(kMinDepthUi, kMaxDepthUi));
    SliderMessage(dialog, TBM_SETPOS, TRUE, record.maxDepth);
}

// Every notification of the field, typing, clearing and our own settings
// alike, passes here: this is what keeps field and slider equal and in range.
void DepthEdited(HWND dialog) {
    const SDepthEntry entry = CheckDepthEntry(GetDlgItemInt(dialog, IDC_DEPTH_EDIT, nullptr, FALSE));
    if (entry.replaced) SetDlgItemInt(dialog, IDC_DEPTH_EDIT, UINT(entry.depth), TRUE);
    SliderMessage(dialog, TBM_SETPOS, TRUE, entry.depth);
}

void Confirm(HWND dialog, CVandrelParams& record) {
    ConfirmParams(record, IsDlgButtonChecked(dialog, IDC_PAINT_WHITE) == BST_CHECKED,
                  GetDlgItemInt(dialog, IDC_DEPTH_EDIT, nullptr, FALSE));
}

void SliderMoved(HWND dialog, WORD code, WORD thumb) {
    int position = 0;
    switch (SliderSourceOf(code)) {
        case ESliderSource::Ignored:
            return;
        case ESliderSource::Thumb:
            position = int(thumb);
            break;
        case ESliderSource::Slider:
            position = static_cast<int>(SliderMessage(dialog, TBM_GETPOS, 0, 0));
            break;
    }
    SetDlgItemInt(dialog, IDC_DEPTH_EDIT, UINT(position), TRUE);
}

}  // namespace

INT_PTR CALLBACK ParamsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const CVandrelParams* record = DialogRecord();
            if (!record) {
                // Without a filter there is nothing to edit.
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            InitDialog(dialog, *record);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (CVandrelParams* record = DialogRecord()) Confirm(dialog, *record);
                    // The command's ID rather than the whole wParam: OK must
                    // read as OK whatever notification code came with it.
                    EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_DEPTH_EDIT:
                    DepthEdited(dialog);
                    return TRUE;
                default:
                    return TRUE;
            }
        case WM_HSCROLL:
            SliderMoved(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

bool CVandrelFilter::RunParamsDialog() {
    // Hosts register the trackbar class for their own dialogs, but one that
    // has not would fail our dialog's creation, which reads as a Cancel the
    // user never gave.
    INITCOMMONCONTROLSEX classes{static_cast<DWORD>(sizeof(INITCOMMONCONTROLSEX)), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    const HWND owner =
        reinterpret_cast<HWND>(OwnerWindow(filterRecord ? filterRecord->platformData : nullptr));
    const INT_PTR result = DialogBoxParamA(static_cast<HINSTANCE>(gModuleInstance),
                                           MAKEINTRESOURCEA(IDD_PARAMS), owner, ParamsDialogProc, 0);
    return result == IDOK;
}
