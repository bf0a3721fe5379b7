// Where the preferences file lives: the user's own application-data folder.
#pragma once

#include <string>

// Sets `path` to the folder, ending in the separator, creating the folder
// when it does not exist yet. False when no folder can be determined; the
// file is then neither read nor written.
bool PrefsFolderPath(std::string& path);
