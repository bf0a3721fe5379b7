// One page from its input file to its output file.
#pragma once

#include <string>

#include "cli/CodecOptions.h"
#include "cli/FlatSettings.h"
#include "cli/Progress.h"
#include "sim/HostSimulator.h"

namespace cli {

enum class EPageResult { Written, Failed, Interrupted };

struct SPageJob {
    std::string input;
    std::string output;
    bool overwrite = false;
};

// Reports a failure on stderr as one line naming the input and the reason,
// and prints the output's path on stdout once it is in place.
// `codec` says how the files are compressed and with how many threads;
// its progress goes to `display`.
EPageResult FlatPage(sim::CHostSimulator& host, const SPageJob& job, const SFlatSettings& settings,
                     const SCodecOptions& codec, CProgressDisplay& display);

}  // namespace cli
