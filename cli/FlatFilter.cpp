#include "cli/FlatFilter.h"

#include "cli/PluginFailure.h"
#include "cli/PluginRun.h"

namespace cli {

namespace {

std::string PluginFailure(const SRunOutcome& outcome) {
    if (!outcome.fault.empty()) return outcome.fault;
    return DescribePluginFailure({outcome.result, outcome.failedSelector, outcome.delivered});
}

}  // namespace

void CFlatFilter::Run(SPageInFlight& page, CProgressDisplay& display) {
    if (page.job.layers != ELayeredFormat::None) page.original = page.raster;
    const SRunOutcome outcome = FlatWithPlugin(host_, page.raster, settings_, display);
    if (outcome.interrupted)
        page.interrupted = true;
    else if (outcome.result != host::noErr || !outcome.fault.empty())
        page.failure = PluginFailure(outcome);
}

}  // namespace cli
