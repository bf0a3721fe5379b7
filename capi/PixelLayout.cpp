#include "capi/PixelLayout.h"

#include <limits>

#include "capi/VandrelApi.h"

std::optional<SPixelLayout> LayoutOf(int32_t layout) {
    switch (layout) {
        case VANDREL_RGB:
            return SPixelLayout{3, 3, 0, 1, -1, false, false};
        case VANDREL_RGBA:
            return SPixelLayout{4, 3, 0, 1, 3, false, false};
        case VANDREL_BGRA:
            return SPixelLayout{4, 3, 2, -1, 3, false, false};
        case VANDREL_CMYK:
            return SPixelLayout{4, 4, 0, 1, -1, true, false};
        case VANDREL_CMYKA:
            return SPixelLayout{5, 4, 0, 1, 4, true, false};
        case VANDREL_GRAY:
            return SPixelLayout{1, 1, 0, 1, -1, false, true};
        case VANDREL_GRAYA:
            return SPixelLayout{2, 1, 0, 1, 1, false, true};
        default:
            return std::nullopt;
    }
}

std::optional<std::size_t> PageBytes(const SPixelLayout& layout, int32_t width, int32_t height) {
    if (width < 1 || height < 1) return std::nullopt;
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * uint64_t(layout.channels);
    // A 32-bit build (WebAssembly) must not wrap a large page into a small one.
    if (bytes > std::numeric_limits<std::size_t>::max() / 2) return std::nullopt;
    return std::size_t(bytes);
}

void FlipInk(uint8_t* pixels, std::size_t bytes, const SPixelLayout& layout) {
    const std::size_t step = std::size_t(layout.channels);
    for (std::size_t i = 0; i + step <= bytes; i += step)
        for (int32_t k = 0; k < layout.colourPlanes; ++k) pixels[i + std::size_t(k)] ^= 0xFF;
}
