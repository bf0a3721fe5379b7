// `vandrel flat`'s filter: the real plug-in, through the host simulator.
#pragma once

#include "cli/FlatSettings.h"
#include "cli/PageFilter.h"
#include "sim/HostSimulator.h"

namespace cli {

class CFlatFilter : public IPageFilter {
public:
    CFlatFilter(sim::CHostSimulator& host, const SFlatSettings& settings)
        : host_(host), settings_(settings) {}

    // Flatting's own memory need (PageMemoryNeed) is the readers' default.
    void SetReading(SCodecOptions&) const override {}
    void Run(SPageInFlight& page, CProgressDisplay& display) override;

private:
    sim::CHostSimulator& host_;
    SFlatSettings settings_;
};

}  // namespace cli
