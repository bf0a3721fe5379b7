#include "tests/support/SimulatorRun.h"

namespace testing_support {

SPluginRun RunPlugin(const sim::SImageSpec& imageSpec, const sim::CHostImage& document,
                     const SRunOptions& options) {
    sim::CHostSimulator host;
    host.SetDocument(imageSpec, document);
    host.GiveSettings(options.depth, options.white);
    host.processors = options.processors;
    host.plainSearch = options.plainSearch;
    if (options.prepare) options.prepare(host);

    SPluginRun run;
    run.result = host.RunFilter(false).result;
    run.output = host.Output();
    run.progress = host.progress;
    run.guardsIntact = host.guardsIntact;
    return run;
}

}  // namespace testing_support
