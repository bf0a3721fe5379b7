// Photoshop's layered file (.psd, version 1, 8 bits a channel): each layer
// with its name, blend mode and visibility, the page's resolution, colour
// profile and colour model, and the merged page for readers that do not
// composite. Channel data is run-length coded row by row and streamed: a
// first pass over the rows measures them, a second writes them.
#pragma once

#include "layered/LayerStack.h"

namespace layered {

// The largest side a .psd holds; larger pages need the large-document
// format, which few readers take.
constexpr int kPsdMaxSide = 30000;

// Throws std::invalid_argument for a stack the format cannot hold, and
// whatever `write` throws.
void WritePsd(const SLayerStack& stack, const FWrite& write, const FProgress& progress = {});

}  // namespace layered
