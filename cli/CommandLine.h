// The command line: `vandrel flat [OPTION]... INPUT...`, and the help, which
// is the manual page's text.
#pragma once

#include <string>
#include <variant>

#include "cli/ToolOptions.h"

namespace cli {

// The options to run with, or the exit status when there is nothing to
// run (help and version: 0; a usage error, already reported: kExitUsage).
std::variant<SToolOptions, int> ParseCommandLine(int argc, char** argv);

// What `vandrel COMMAND --help` shows ("" for `vandrel --help`); "" for a
// command the tool does not have.
std::string HelpText(const std::string& command);

}  // namespace cli
