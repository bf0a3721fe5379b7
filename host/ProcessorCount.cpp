#include "host/ProcessorCount.h"

#include <boost/thread/thread.hpp>

namespace {
constexpr unsigned kFallbackProcessors = 8;
constexpr unsigned kMaxProcessors = 127;
}  // namespace

int8_t ProcessorCount(std::optional<unsigned> forced) {
    unsigned count = forced ? *forced : boost::thread::hardware_concurrency();
    if (count == 0) count = kFallbackProcessors;
    if (count > kMaxProcessors) count = kMaxProcessors;
    return int8_t(count);
}
