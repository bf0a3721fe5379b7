#include "params/Prefs.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <istream>
#include <locale>
#include <ostream>
#include <sstream>
#include <thread>

#include "params/PrefsFolder.h"
#include "params/PutFileInPlace.h"

void WritePrefs(std::ostream& out, const _SVandrelParams& params) {
    out.imbue(std::locale::classic());
    out << params.signature << ' ' << params.version << ' ' << params.maxDepth << ' ' << params.remainder
        << ' ';
}

void ReadPrefs(std::istream& in, CVandrelParams& params) {
    in.imbue(std::locale::classic());
    in >> params.signature >> params.version >> params.maxDepth >> params.remainder;
    in.ignore(1);
    if (!params.IsValid()) params.ResetParams();
}

bool PrefsFilePathFor(const char* fileName, std::string& path) {
    if (!PrefsFolderPath(path)) return false;
    path += fileName;
    return true;
}

bool PrefsFilePath(std::string& path) { return PrefsFilePathFor(kPrefsFileName, path); }

namespace {

void LoadPrefsAt(const std::string& path, const std::function<void(std::istream&)>& read) noexcept {
    try {
        std::ifstream in(path);
        if (!in.is_open()) return;
        read(in);
    } catch (...) {
        // The file is a convenience: a failure keeps what the record holds.
    }
}

void SavePrefsAt(const std::string& path, const std::function<void(std::ostream&)>& write) noexcept {
    try {
        std::ostringstream text;
        write(text);
        SavePrefsText(path, text.str());
    } catch (...) {
    }
}

}  // namespace

void LoadPrefsFile(const std::string& path, CVandrelParams& params) noexcept {
    LoadPrefsAt(path, [&](std::istream& in) { ReadPrefs(in, params); });
}

void LoadNamedPrefsFile(const char* fileName, const std::function<void(std::istream&)>& read) noexcept {
    try {
        // Even building the path may fail for want of memory.
        std::string path;
        if (PrefsFilePathFor(fileName, path)) LoadPrefsAt(path, read);
    } catch (...) {
    }
}

void SaveNamedPrefsFile(const char* fileName, const std::function<void(std::ostream&)>& write) noexcept {
    try {
        std::string path;
        if (PrefsFilePathFor(fileName, path)) SavePrefsAt(path, write);
    } catch (...) {
    }
}

namespace {

// Beside the file, and different for every save, so that two hosts saving
// at once do not write into one temporary file.
std::string TemporaryPathFor(const std::string& path) {
    static std::atomic<unsigned> saves{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto thread = std::hash<std::thread::id>()(std::this_thread::get_id());
    return path + "." + std::to_string((uint64_t(now) ^ thread) + saves++ % 1000) + ".tmp";
}

}  // namespace

// Written whole under another name, then put in place: a host that dies
// while the file is written leaves the old file, not a truncated one that
// would read as invalid and reset the user's settings.
void SavePrefsText(const std::string& path, const std::string& text) noexcept {
    std::string temporary;
    try {
        temporary = TemporaryPathFor(path);
        std::ofstream out(temporary, std::ios::out | std::ios::trunc);
        if (!out.is_open()) return;
        out << text;
        out.flush();
        out.close();
        if (!out.fail() && PutFileInPlace(temporary, path)) return;
    } catch (...) {
        // Nothing to report to: the user's run has succeeded regardless.
    }
    if (!temporary.empty()) std::remove(temporary.c_str());
}

void SavePrefsFile(const std::string& path, const _SVandrelParams& params) noexcept {
    SavePrefsAt(path, [&](std::ostream& out) { WritePrefs(out, params); });
}
