#include <cstdlib>
#include <cstring>

#include "host/PassSwitches.h"

namespace {
// A count past this is as good as any other: the pass caps it at 127.
constexpr long kMaxForcedProcessors = 1000;
}  // namespace

SPassSwitches ReadPassSwitches() {
    SPassSwitches switches;
    if (const char* forced = std::getenv("VANDREL_PROCESSORS")) {
        char* end = nullptr;
        const long value = std::strtol(forced, &end, 10);
        if (end != forced && *end == '\0' && value >= 0)
            switches.processors = unsigned(value > kMaxForcedProcessors ? kMaxForcedProcessors : value);
    }
    const char* fastPath = std::getenv("VANDREL_FASTPATH");
    if (fastPath && std::strcmp(fastPath, "0") == 0) switches.method = EFlatMethod::Search;
    return switches;
}
