#include "host/ProcessorCount.h"

#include <boost/thread/thread.hpp>
#include <cstdlib>

namespace {
constexpr unsigned kFallbackProcessors = 8;
constexpr unsigned kMaxProcessors = 127;

unsigned ReportedProcessors() {
    if (const char* forced = std::getenv("VANDREL_PROCESSORS")) {
        char* end = nullptr;
        long value = std::strtol(forced, &end, 10);
        if (end != forced && *end == '\0' && value >= 0) return unsigned(value > 1000 ? 1000 : value);
    }
    return boost::thread::hardware_concurrency();
}
}  // namespace

int8_t ProcessorCount() {
    unsigned count = ReportedProcessors();
    if (count == 0) count = kFallbackProcessors;
    if (count > kMaxProcessors) count = kMaxProcessors;
    return int8_t(count);
}
