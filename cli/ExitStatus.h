// The tool's exit status. A batch reports how many files failed, so the
// count and the other outcomes use separate ranges: a script can tell
// "two pages failed" from "the command was wrong".
#pragma once

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitMaxFailures = 63;  // 1..63: that many inputs failed (63: 63 or more)
constexpr int kExitUsage = 64;        // the command line was wrong; nothing was done
constexpr int kExitNotStarted = 69;   // the plug-in or the output folder was unusable; nothing was done
constexpr int kExitListLost = 74;     // every page was written, but not every path reached stdout
// Interrupted: 128 + the signal, 130 for Ctrl-C (see Interrupt.h).

}  // namespace cli
