// Linux has no shell folder call; the counterpart of the Windows
// application-data folder is the XDG configuration folder, which is where
// Linux users look for such a file. VANDREL_PREFS_DIR points it elsewhere
// (tests and the host simulator use it so they never touch the real home
// folder); set but empty, it means there is no folder at all.
#include <sys/stat.h>

#include <cstdlib>

#include "params/PrefsFolder.h"

namespace {

// The XDG rules ignore relative paths in these variables.
bool Absolute(const char* path) { return path && path[0] == '/'; }

}  // namespace

bool PrefsFolderPath(std::string& path) {
    std::string folder;
    if (const char* chosen = std::getenv("VANDREL_PREFS_DIR")) {
        folder = chosen;
    } else if (const char* config = std::getenv("XDG_CONFIG_HOME"); Absolute(config)) {
        folder = config;
    } else if (const char* home = std::getenv("HOME"); Absolute(home)) {
        folder = std::string(home) + "/.config";
    }
    if (folder.empty()) return false;
    // As the Windows shell does when asked: create the folder if it is
    // missing. Failing that, opening the file fails and is ignored.
    ::mkdir(folder.c_str(), 0700);
    if (folder.back() != '/') folder += '/';
    path = folder;
    return true;
}
