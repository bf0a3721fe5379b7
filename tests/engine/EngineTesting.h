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

namespace engine_testing {

// A document copied into input and output buffers in the layout `spec`
// describes (interleaved, padded, planar, bottom-up), the output starting as
// a copy of the input, as hosts hand it out.
class CLaidOutImage {
public:
    CLaidOutImage(const sim::CHostImage& document, const sim::SImageSpec& spec);
    SFlatImage Flat();
    sim::CHostImage Output() const;

private:
    sim::CHostImage document_;
    sim::SImageSpec spec_;
    sim::SBufferGeometry geometry_;
    std::vector<uint8_t> in_, out_;
};

sim::SImageSpec SpecFor(const sim::CHostImage& document, bool cmyk, sim::ELayout layout, bool bottomUp = false);

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

bool IsBlack(const sim::CHostImage& image, int x, int y, bool cmyk);

}  // namespace engine_testing
