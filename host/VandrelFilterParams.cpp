// The filter's parameter sources: thin wrappers that hand the filter's
// own record to the exchanges, which know nothing of the filter object.
#include <string>

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
    try {
        std::string path;
        if (PrefsFilePath(path)) LoadPrefsFile(path, params);
    } catch (...) {
        // Even building the path may fail for want of memory; the file
        // never decides whether a run goes ahead.
    }
}

void CVandrelFilter::SavePrefs() {
    try {
        std::string path;
        if (PrefsFilePath(path)) SavePrefsFile(path, params);
    } catch (...) {
    }
}
