// The page as the layers show it together, row by row: what a reader that
// does not composite shows, and a thumbnail's source.
#pragma once

#include <cstdint>
#include <vector>

#include "layered/LayerStack.h"

namespace layered {

class CMergedRows {
public:
    // `matteWhite`: colour where the page is partly transparent is blended
    // onto white, as Photoshop stores its merged image; otherwise it is the
    // colour itself, as a PNG with alpha holds it.
    CMergedRows(const SLayerStack& stack, bool matteWhite);

    // Row y: the colour planes, then alpha when the stack's merged page has
    // it. Valid until the next call.
    const uint8_t* Row(int y);

    int Planes() const { return planes_; }

private:
    const uint8_t* OpaqueRow(int y);

    const SLayerStack& stack_;
    bool matteWhite_;
    bool alpha_;
    int planes_;
    std::vector<uint8_t> scratch_;
    std::vector<double> colour_;  // light (255 white) for CMYK too, 0..255
    std::vector<double> cover_;   // 0..1
    std::vector<uint8_t> out_;
};

}  // namespace layered
