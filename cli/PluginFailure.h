// A failed run of the plug-in, in words: the host interface reports only
// a number, and the tool, as the host, knows when in the run it came.
#pragma once

#include <cstdint>
#include <string>

namespace cli {

struct SPluginFailure {
    int16_t result = 0;     // the host result code
    int16_t selector = -1;  // the call that returned it
    bool pixelsDelivered = false;
};

std::string DescribePluginFailure(const SPluginFailure& failure);

}  // namespace cli
