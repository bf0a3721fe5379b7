// The two parameters as the user gave them on the command line. A value
// not given is left out of the descriptor, so the plug-in keeps its own
// (its default, or with --use-prefs its preferences file).
#pragma once

#include <optional>

namespace cli {

struct SFlatSettings {
    std::optional<int> depth;        // 0..65535, the range an action may carry
    std::optional<bool> paintWhite;  // --white / --no-white
};

}  // namespace cli
