// Images laid out in memory as a host delivers them, for driving the engine
// without the host: interleaved, padded, planar, bottom-up.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/FlatImage.h"
#include "sim/HostImage.h"

namespace testing_support {

// A document copied into input and output buffers in the layout `imageSpec`
// describes, the output starting as a copy of the input, as hosts hand it out.
class CLaidOutImage {
public:
    CLaidOutImage(const sim::CHostImage& document, const sim::SImageSpec& imageSpec);
    SFlatImage Flat();
    sim::CHostImage Output() const;

private:
    sim::CHostImage document_;
    sim::SImageSpec spec_;
    sim::SBufferGeometry geometry_;
    std::vector<uint8_t> in_, out_;
};

// The document's size and mode in `layout`, with padding between pixels and
// rows wherever the layout allows it, so a pass that ignores a step shows.
sim::SImageSpec SpecFor(const sim::CHostImage& document, bool cmyk, sim::ELayout layout,
                        bool bottomUp = false);

}  // namespace testing_support
