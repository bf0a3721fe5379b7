// A batch of pages: each read, flatted and written on its own, a bad page
// reported and skipped, the rest carried on.
#pragma once

#include <filesystem>
#include <string>

#include "cli/ToolOptions.h"

namespace cli {

// One name for a file however the path reaches it, for a file not there yet too.
std::filesystem::path PathKey(const std::string& path);

// Flats every input; returns the exit status (ExitStatus.h).
int RunBatch(const SToolOptions& options);

}  // namespace cli
