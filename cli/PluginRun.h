// One image through the real plug-in, driven by the host simulator the way
// a host replays a recorded action: the settings in a scripting descriptor,
// no dialog, the whole image delivered at once.
#pragma once

#include <cstdint>
#include <string>

#include "cli/FlatSettings.h"
#include "cli/Progress.h"
#include "cli/Raster.h"
#include "sim/HostSimulator.h"

namespace cli {

struct SRunOutcome {
    int16_t result = 0;  // the first failing selector's result, or 0
    int16_t failedSelector = -1;
    bool delivered = false;    // the plug-in had the pixels
    bool interrupted = false;  // the user asked to stop: the pixels are incomplete
    std::string fault;         // the plug-in misbehaved (wrote outside its buffers, ...)
    double seconds = 0;        // from the delivery of the pixels to the end of the run
};

// Flats `raster` in place. Its pixels are unchanged unless the run succeeded.
SRunOutcome FlatWithPlugin(sim::CHostSimulator& host, SRaster& raster, const SFlatSettings& settings,
                           CProgressDisplay& display);

}  // namespace cli
