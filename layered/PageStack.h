// The layers a flatted page is handed over as, whoever writes it (the
// command or the web page): the flats at the bottom, the line art as it
// came on Multiply over them, so that the page looks finished when opened,
// and the hints page on top, hidden: kept for the next run, not part of
// the page.
#pragma once

#include <optional>

#include "layered/LayerStack.h"

namespace layered {

inline constexpr const char* kFlatsLayerName = "Flats";
inline constexpr const char* kLineArtLayerName = "Line art";
inline constexpr const char* kHintsLayerName = "Hints";

// `page` gives the size, colour model, resolution and profile; its layers
// are replaced. Only the rows, and whether they carry alpha, are taken
// from the layers given.
SLayerStack PageStack(SLayerStack page, SLayer flats, SLayer lineArt, std::optional<SLayer> hints);

}  // namespace layered
