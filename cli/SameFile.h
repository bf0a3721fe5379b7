// Whether two names are one file: by identity where the file is there (a
// link, a path through another folder), else by name, the folder
// resolved, so that "o.png" and "./o.png" are one output before either
// is written.
#pragma once

#include <filesystem>
#include <string>

namespace cli {

// One name for a file however the path reaches it, for a file not there
// yet too: its folder's canonical path and its own name.
std::filesystem::path PathKey(const std::string& path);

bool SameFile(const std::string& a, const std::string& b);

}  // namespace cli
