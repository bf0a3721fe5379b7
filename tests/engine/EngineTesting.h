// Helpers for driving the engine directly: images laid out as a host
// delivers them, a pass host that records what the pass told it, and
// random comic-like pages.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <vector>

#include "engine/FlatImage.h"
#include "engine/PassHost.h"
#include "sim/HostImage.h"
#include "tests/support/LaidOutImage.h"
#include "tests/support/SimulatorRun.h"
#include "tests/support/TestImages.h"

namespace engine_testing {

using testing_support::CLaidOutImage;
using testing_support::IsBlack;
using testing_support::RunPlugin;
using testing_support::SpecFor;
using testing_support::SPluginRun;
using testing_support::SRunOptions;

class CRecordingPassHost : public CPassHost {
public:
    void ReportProgress(int32_t done) override;
    bool TestAbort() override;
    void AddRowsDone(int32_t rows) override;
    int32_t RowsDone() const override;

    std::function<bool()> abort;  // no cancel when unset
    std::vector<int32_t> reports;
    int abortCalls = 0;
    std::vector<int32_t> Added() const;

private:
    mutable std::mutex lock_;
    int32_t rowsDone_ = 0;
    std::vector<int32_t> added_;
};

// A page of flat colour areas with black lines and blobs. Black pixels get
// varied values (any black shade, and any C, M, Y under a black K) so a copy
// of one black pixel is told from another.
sim::CHostImage RandomPage(std::mt19937& random, int width, int height, bool cmyk);

}  // namespace engine_testing
