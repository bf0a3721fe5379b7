// Vandrel Auto Flats' parameters dialog on Linux, answered by the script
// that stands in for the user.
#include "host/AutoFlatsFilter.h"
#include "host/PluginGlobals.h"
#include "ui/linux/DialogScript.h"

bool CAutoFlatsFilter::RunParamsDialog() {
    // The record of the current filter object, as the Windows dialog edits it.
    auto* filter = dynamic_cast<CAutoFlatsFilter*>(gFilter);
    return filter && headless::AnswerAutoFlatsDialog(headless::DialogScriptFromEnvironment(),
                                                     filter->params) == headless::kDialogOk;
}
