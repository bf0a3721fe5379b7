// The melt run again over part of a page whose regions a fix changed: a
// region split by a stroke, its stroke now line art. The result is, pixel
// for pixel, what MeltLabels and the growth into the pixels its search left
// give over the whole page, for every pixel they could give another label.
#pragma once

#include <cstdint>

namespace autoflat {

// Inclusive pixel bounds.
struct SPixelBox {
    int32_t x0 = 0, y0 = 0, x1 = -1, y1 = -1;
};

// Part of a page held by the caller: `area` of a pageWidth x pageHeight
// page, rows of area's width. `labels` are regions (up to kMaxMeltLabel),
// `marks` the EPixelMark bits AutoFlat wrote (kMarkLine: melt it).
struct SPageArea {
    int32_t pageWidth = 0, pageHeight = 0;
    SPixelBox area;
    uint32_t* labels = nullptr;
    uint8_t* marks = nullptr;
};

enum class ERemeltStatus : uint8_t {
    Done,      // labels and marks rewritten inside `touched`
    NeedArea,  // the area holds too little of the page: nothing written, `touched` is the area needed
    BadInput,  // boxes outside the page, a change outside the area, a region beyond kMaxMeltLabel
};

// `changed` holds every pixel whose label or line mark changed since the
// labels were melted, and every line pixel that took its label from one of
// them (for a split: the split region's box). `depth` is the melt's.
ERemeltStatus RemeltLabels(const SPageArea& page, SPixelBox changed, uint32_t depth, SPixelBox& touched);

}  // namespace autoflat
