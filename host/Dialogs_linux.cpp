// The dialogs on Linux: no window system shows them, so the scripted
// answer of ui/linux/DialogScript.h stands in for the user.
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

int CVandrelFilter::ShowAboutBox() {
    return headless::AnswerAboutBox(headless::DialogScriptFromEnvironment());
}
