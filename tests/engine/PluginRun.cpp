#include "tests/engine/PluginRun.h"

#include <cstdlib>
#include <string>

namespace engine_testing {

namespace {

// ProcessorCount reads the variable on every call, so it only has to be
// set around the run.
class CProcessorsOverride {
public:
    explicit CProcessorsOverride(int count) { setenv("VANDREL_PROCESSORS", std::to_string(count).c_str(), 1); }
    ~CProcessorsOverride() { unsetenv("VANDREL_PROCESSORS"); }
};

}  // namespace

SPluginRun RunPlugin(const sim::SImageSpec& imageSpec, const sim::CHostImage& document, const SRunOptions& options) {
    sim::CHostSimulator host;
    host.SetDocument(imageSpec, document);
    host.Descriptors().Give({sim::SDescriptorItem::Integer(host::FourCC("MxLv"), options.depth),
                             sim::SDescriptorItem::Bool(host::FourCC("SkCo"), options.white)});
    if (options.prepare) options.prepare(host);

    CProcessorsOverride processors(options.processors);
    SPluginRun run;
    run.result = host.RunFilter(false).result;
    run.output = host.Output();
    run.progress = host.progress;
    run.guardsIntact = host.guardsIntact;
    return run;
}

}  // namespace engine_testing
