#include <windows.h>
#include <shlobj.h>

#include "params/PrefsFolder.h"

bool PrefsFolderPath(std::string& path) {
    char folder[MAX_PATH] = {};
    // TRUE: the shell creates the folder on a fresh profile.
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE)) return false;
    path = folder;
    path += '\\';
    return true;
}
