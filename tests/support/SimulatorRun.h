// One filter run of the real plug-in in the simulator, with the depth and
// remainder played in as an action would, on a given processor count and
// with the search the switches choose.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "sim/HostSimulator.h"

namespace testing_support {

struct SRunOptions {
    int depth = 256;
    bool white = false;
    int processors = 1;
    std::optional<bool> plainSearch;                    // the plug-in's own choice when unset
    std::function<void(sim::CHostSimulator&)> prepare;  // before the run
};

struct SPluginRun {
    int16_t result = 0;
    sim::CHostImage output;
    std::vector<sim::SProgressReport> progress;
    bool guardsIntact = false;
};

SPluginRun RunPlugin(const sim::SImageSpec& imageSpec, const sim::CHostImage& document,
                     const SRunOptions& options);

}  // namespace testing_support
