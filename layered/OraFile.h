// OpenRaster (.ora), the layered format Krita, GIMP and MyPaint share: a
// zip of one PNG per layer, the stack described in stack.xml, the merged
// page and a thumbnail. RGB only: the format has no CMYK.
#pragma once

#include "layered/LayerStack.h"

namespace layered {

// Throws std::invalid_argument for a stack the format cannot hold (CMYK,
// over 4 GB), and whatever `write` throws.
void WriteOra(const SLayerStack& stack, const FWrite& write, const FProgress& progress = {});

}  // namespace layered
