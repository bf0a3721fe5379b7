// Where a layout keeps its colour planes and its transparency, so that the
// passes can step over the caller's pixels as they are instead of copying
// them into one order first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct SPixelLayout {
    int32_t channels = 0;      // bytes per pixel
    int32_t colourPlanes = 0;  // 1 grey, 3 RGB, 4 CMYK
    int32_t firstPlane = 0;    // byte of the first colour plane (R, C or grey) within a pixel
    int32_t planeStep = 1;     // from one colour plane to the next; -1 for BGRA
    int32_t alpha = -1;        // byte of the transparency, -1 for none
    bool cmyk = false;
    bool grey = false;
};

std::optional<SPixelLayout> LayoutOf(int32_t layout);

// Bytes of a width x height page in `layout`, or nothing when the count
// does not fit in this machine's memory arithmetic.
std::optional<std::size_t> PageBytes(const SPixelLayout& layout, int32_t width, int32_t height);

// 255 minus every ink sample, transparency untouched: the filter's
// convention, in which 255 is white in every model, from the stored one and
// back again.
void FlipInk(uint8_t* pixels, std::size_t bytes, const SPixelLayout& layout);
