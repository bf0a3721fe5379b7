// Where the pass finds the host's pixels: two buffers addressed by signed
// row, column and plane steps, exactly as the host handed them over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

struct SFlatImage {
    const uint8_t* inData = nullptr;
    int32_t inRowBytes = 0;
    int32_t inColumnBytes = 0;
    int32_t inPlaneBytes = 0;

    uint8_t* outData = nullptr;
    int32_t outRowBytes = 0;
    int32_t outColumnBytes = 0;
    int32_t outPlaneBytes = 0;

    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t planeCount = 0;  // n of the image request
    bool isCmyk = false;

    // Steps are signed and may be negative (bottom-up hosts), so the
    // arithmetic stays in ptrdiff_t rather than wrapping in 32 bits.
    const uint8_t* InPixel(int32_t x, int32_t y) const {
        return inData + std::ptrdiff_t(y) * inRowBytes + std::ptrdiff_t(x) * inColumnBytes;
    }
    uint8_t* OutPixel(int32_t x, int32_t y) const {
        return outData + std::ptrdiff_t(y) * outRowBytes + std::ptrdiff_t(x) * outColumnBytes;
    }
};

// The CMYK test reads the K plane, plane 3; a host that hands over fewer
// planes would have it read outside the pixels it delivered.
inline void RequireBlackPlane(const SFlatImage& image) {
    if (image.isCmyk && image.planeCount < 4) throw std::invalid_argument("CMYK image without a K plane");
}
