#include "ui/ParamsDialog.h"

#include <cstdint>

#include "host/PluginGlobals.h"
#include "host/VandrelFilter.h"
#include "resources/PluginInfo.h"

namespace {

CVandrelParams* DialogRecord() {
    auto* filter = dynamic_cast<CVandrelFilter*>(gFilter);
    return filter ? &filter->params : nullptr;
}

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
    // Read unsigned, judged signed: an empty field or anything unreadable
    // reads as 0 and so becomes the minimum.
    int depth = static_cast<int>(GetDlgItemInt(dialog, IDC_DEPTH_EDIT, nullptr, FALSE));
    if (depth < kMinDepthUi) {
        depth = kMinDepthUi;
        SetDlgItemInt(dialog, IDC_DEPTH_EDIT, UINT(depth), TRUE);
    } else if (depth > kMaxDepthUi) {
        depth = kMaxDepthUi;
        SetDlgItemInt(dialog, IDC_DEPTH_EDIT, UINT(depth), TRUE);
    }
    SliderMessage(dialog, TBM_SETPOS, TRUE, depth);
}

void Confirm(HWND dialog, CVandrelParams& record) {
    record.remainder = IsDlgButtonChecked(dialog, IDC_PAINT_WHITE) == BST_CHECKED ? kPaintWhite : kLeaveBlack;
    record.maxDepth = static_cast<uint16_t>(GetDlgItemInt(dialog, IDC_DEPTH_EDIT, nullptr, FALSE) & 0xFFFF);
}

void SliderMoved(HWND dialog, WORD code, WORD thumb) {
    if (code > TB_ENDTRACK) return;
    // While the thumb is dragged the message carries its position; for every
    // other move the slider has already taken its new one.
    const int position = code == TB_THUMBPOSITION || code == TB_THUMBTRACK
                             ? int(thumb)
                             : static_cast<int>(SliderMessage(dialog, TBM_GETPOS, 0, 0));
    SetDlgItemInt(dialog, IDC_DEPTH_EDIT, UINT(position), TRUE);
}

}  // namespace

INT_PTR CALLBACK ParamsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
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
                case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
                case IDC_DEPTH_EDIT: DepthEdited(dialog); return TRUE;
                default: return TRUE;
            }
        case WM_HSCROLL: SliderMoved(dialog, LOWORD(wParam), HIWORD(wParam)); return TRUE;
        default: return FALSE;
    }
}

bool CVandrelFilter::RunParamsDialog() {
    // Hosts register the trackbar class for their own dialogs, but one that
    // has not would fail our dialog's creation, which reads as a Cancel the
    // user never gave.
    INITCOMMONCONTROLSEX classes{static_cast<DWORD>(sizeof(INITCOMMONCONTROLSEX)), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    const INT_PTR result =
        DialogBoxParamA(static_cast<HINSTANCE>(gModuleInstance), MAKEINTRESOURCEA(IDD_PARAMS),
                        HostWindow(filterRecord ? filterRecord->platformData : nullptr), ParamsDialogProc, 0);
    return result == IDOK;
}
