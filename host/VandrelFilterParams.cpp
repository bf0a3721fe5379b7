// The filter's parameter sources: thin wrappers that hand the filter's
// own record to the exchanges, which know nothing of the filter object.
#include <istream>
#include <ostream>

#include "host/VandrelFilter.h"
#include "params/HandleParams.h"
#include "params/Prefs.h"
#include "params/ScriptParams.h"

bool CVandrelFilter::ReadScriptParams(CVandrelParams& record) {
    return ::ReadScriptParams(*filterRecord, record);
}

void CVandrelFilter::WriteScriptParams(const CVandrelParams& record) {
    ::WriteScriptParams(*filterRecord, record);
}

bool CVandrelFilter::LoadHandleParams(CVandrelParams& record) {
    return ::LoadHandleParams(*filterRecord, record);
}

void CVandrelFilter::StoreHandleParams(const CVandrelParams& record) {
    ::StoreHandleParams(*filterRecord, record);
}

void CVandrelFilter::LoadPrefs() {
    LoadNamedPrefsFile(kPrefsFileName, [&](std::istream& in) { ReadPrefs(in, params); });
}

void CVandrelFilter::SavePrefs() {
    SaveNamedPrefsFile(kPrefsFileName, [&](std::ostream& out) { WritePrefs(out, params); });
}

SParameterSteps CVandrelFilter::ParameterSteps() {
    return {[this] { LoadPrefs(); },
            [this] { SavePrefs(); },
            [this] { return ReadScriptParams(params); },
            [this] { return RunParamsDialog(); },
            [this] { return LoadHandleParams(params); },
            [this] { StoreHandleParams(params); }};
}
