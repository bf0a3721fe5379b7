// The switches that choose how the pass runs: how many processors it acts
// as if the machine had, and whether the distances assist the search. The
// Linux build takes them from the environment (VANDREL_PROCESSORS=N,
// VANDREL_FASTPATH=0) for tests and diagnostics; the Windows plug-in reads
// nothing and always runs as the machine allows. This is the only place
// either is read.
#pragma once

#include <optional>

#include "engine/PassSettings.h"

struct SPassSwitches {
    std::optional<unsigned> processors;  // in place of the count the system reports
    EFlatMethod method = EFlatMethod::DistanceAssisted;
};

SPassSwitches ReadPassSwitches();
