#include "ui/Prefs.h"

#include <fstream>
#include <istream>
#include <locale>
#include <ostream>

#include "ui/PrefsFolder.h"

void WritePrefs(std::ostream& out, const _SVandrelParams& params) {
    out.imbue(std::locale::classic());
    out << params.signature << ' ' << params.version << ' ' << params.maxDepth << ' ' << params.remainder << ' ';
}

void ReadPrefs(std::istream& in, CVandrelParams& params) {
    in.imbue(std::locale::classic());
    in >> params.signature >> params.version >> params.maxDepth >> params.remainder;
    in.ignore(1);
    if (!params.IsValid()) params.ResetParams();
}

bool PrefsFilePath(std::string& path) {
    if (!PrefsFolderPath(path)) return false;
    path += kPrefsFileName;
    return true;
}

void LoadPrefsFile(const std::string& path, CVandrelParams& params) noexcept {
    try {
        std::ifstream in(path);
        if (!in.is_open()) return;
        ReadPrefs(in, params);
        in.close();
    } catch (...) {
        // The file is a convenience: a failure keeps what the record holds.
    }
}

void SavePrefsFile(const std::string& path, const _SVandrelParams& params) noexcept {
    try {
        std::ofstream out(path, std::ios::out | std::ios::trunc);
        if (!out.is_open()) return;
        WritePrefs(out, params);
        out.flush();
        out.close();
    } catch (...) {
        // Nothing to report to: the user's run has succeeded regardless.
    }
}
