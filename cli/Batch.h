// A batch of pages: each read, flatted and written on its own, a bad page
// reported and skipped, the rest carried on.
#pragma once

#include "cli/ToolOptions.h"

namespace cli {

// Flats every input; returns the exit status (ExitStatus.h).
int RunBatch(const SToolOptions& options);

}  // namespace cli
