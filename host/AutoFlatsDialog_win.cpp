// Vandrel Auto Flats' parameters dialog on Windows: the window system's side
// of it. Bounds and what OK stores come from ui/AutoFlatsDialogLogic.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "host/AutoFlatsFilter.h"
#include "host/DialogContext.h"
#include "host/PluginGlobals.h"
#include "resources/AutoFlatsInfo.h"
#include "ui/AutoFlatsDialogLogic.h"

namespace {

CAutoFlatsParams* AutoFlatsRecord() {
    auto* filter = dynamic_cast<CAutoFlatsFilter*>(gFilter);
    return filter ? &filter->params : nullptr;
}

void Show(HWND dialog, const SAutoFlatsDialogState& shown) {
    SetDlgItemInt(dialog, IDC_GAP_EDIT, shown.gap, FALSE);
    SetDlgItemInt(dialog, IDC_MIN_REGION_EDIT, shown.minRegion, FALSE);
    CheckDlgButton(dialog, IDC_SPOT_BLACKS_REGIONS, shown.spotBlacksRegions ? BST_CHECKED : BST_UNCHECKED);
}

SAutoFlatsDialogState Shown(HWND dialog) {
    return {CheckGapEntry(GetDlgItemInt(dialog, IDC_GAP_EDIT, nullptr, FALSE)),
            CheckMinRegionEntry(GetDlgItemInt(dialog, IDC_MIN_REGION_EDIT, nullptr, FALSE)),
            IsDlgButtonChecked(dialog, IDC_SPOT_BLACKS_REGIONS) == BST_CHECKED};
}

// A value typed past a field's range is brought back at once, so what the
// user sees is what OK stores.
void FieldEdited(HWND dialog, int id, unsigned (*check)(unsigned)) {
    const unsigned typed = GetDlgItemInt(dialog, id, nullptr, FALSE);
    const unsigned kept = check(typed);
    if (kept != typed) SetDlgItemInt(dialog, id, kept, FALSE);
}

INT_PTR CALLBACK AutoFlatsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const CAutoFlatsParams* record = AutoFlatsRecord();
            if (!record) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            Show(dialog, OpenAutoFlatsDialog(*record));
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (CAutoFlatsParams* record = AutoFlatsRecord())
                        ConfirmAutoFlatsParams(*record, Shown(dialog));
                    EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_GAP_EDIT:
                    if (HIWORD(wParam) == EN_CHANGE) FieldEdited(dialog, IDC_GAP_EDIT, CheckGapEntry);
                    return TRUE;
                case IDC_MIN_REGION_EDIT:
                    if (HIWORD(wParam) == EN_CHANGE)
                        FieldEdited(dialog, IDC_MIN_REGION_EDIT, CheckMinRegionEntry);
                    return TRUE;
                default:
                    return TRUE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

bool CAutoFlatsFilter::RunParamsDialog() {
    const HWND owner =
        reinterpret_cast<HWND>(OwnerWindow(filterRecord ? filterRecord->platformData : nullptr));
    const INT_PTR result =
        DialogBoxParamA(static_cast<HINSTANCE>(gModuleInstance), MAKEINTRESOURCEA(IDD_AUTOFLATS_PARAMS),
                        owner, AutoFlatsDialogProc, 0);
    return result == IDOK;
}
