// Vandrel Pro's parameters dialog on Linux: no window system shows it, so
// the scripted answer of ui/linux/DialogScript.h stands in for the user.
#include "host/DialogContext.h"
#include "host/VandrelFilter.h"
#include "ui/linux/DialogScript.h"

bool CVandrelFilter::RunParamsDialog() {
    // Like the Windows dialog, it edits the record of the current filter
    // object, and without one there is nothing to edit.
    CVandrelParams* record = DialogRecord();
    return record && headless::AnswerParamsDialog(headless::DialogScriptFromEnvironment(), *record) ==
                         headless::kDialogOk;
}
