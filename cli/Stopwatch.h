// The seconds a stage took, for the progress lines.
#pragma once

#include <chrono>

namespace cli {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace cli
