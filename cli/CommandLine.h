// The command line: `vandrel flat INPUT... (-o OUTPUT | --out-dir DIR) ...`.
#pragma once

#include <variant>

#include "cli/ToolOptions.h"

namespace cli {

// The options to run with, or the exit status when there is nothing to
// run (help and version: 0; a usage error, already reported: kExitUsage).
std::variant<SToolOptions, int> ParseCommandLine(int argc, char** argv);

}  // namespace cli
