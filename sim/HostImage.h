// The document a simulated host holds, and the buffers it hands a plug-in.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HostInterface.h"

namespace sim {

// How the host lays out the pixels it delivers.
enum class ELayout {
    Interleaved,       // column and plane steps left 0: the plug-in's defaults
    InterleavedSteps,  // interleaved, with explicit (possibly padded) column steps
    Planar,            // one plane after another, explicit steps
};

struct SImageSpec {
    int16_t width = 0;
    int16_t height = 0;
    int16_t imageMode = host::plugInModeRGBColor;
    int16_t filterCase = host::filterCaseFlatImageNoSelection;
    int16_t planes = 3;          // all planes of the document, transparency included
    int16_t outLayerPlanes = 0;  // colour planes of a layer (filter cases 3 to 5)
    ELayout layout = ELayout::Interleaved;
    int32_t rowPadding = 0;    // extra bytes after each row
    int32_t pixelPadding = 0;  // extra bytes after each pixel (InterleavedSteps)
    bool bottomUp = false;     // rows stored last to first: negative row steps
};

// Pixels of the document, interleaved, `planes` bytes per pixel.
class CHostImage {
public:
    CHostImage() = default;
    CHostImage(int width, int height, int planes) : width_(width), height_(height), planes_(planes),
        pixels_(size_t(width) * size_t(height) * size_t(planes)) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Planes() const { return planes_; }
    uint8_t& At(int x, int y, int plane) { return pixels_[Index(x, y, plane)]; }
    uint8_t At(int x, int y, int plane) const { return pixels_[Index(x, y, plane)]; }
    void SetPixel(int x, int y, std::initializer_list<uint8_t> values);
    std::vector<uint8_t>& Bytes() { return pixels_; }
    const std::vector<uint8_t>& Bytes() const { return pixels_; }
    bool operator==(const CHostImage& other) const = default;

private:
    size_t Index(int x, int y, int plane) const {
        return (size_t(y) * size_t(width_) + size_t(x)) * size_t(planes_) + size_t(plane);
    }
    int width_ = 0;
    int height_ = 0;
    int planes_ = 0;
    std::vector<uint8_t> pixels_;
};

// One buffer handed to the plug-in, fenced by guard bytes on both sides so a
// stray write outside it is caught; under AddressSanitizer a stray read too.
class CGuardedBuffer {
public:
    static constexpr size_t kGuardBytes = 256;
    static constexpr uint8_t kGuardValue = 0xA5;

    CGuardedBuffer() = default;
    ~CGuardedBuffer() { Release(); }
    CGuardedBuffer(const CGuardedBuffer&) = delete;
    CGuardedBuffer& operator=(const CGuardedBuffer&) = delete;

    void Allocate(size_t size);
    void Release();
    uint8_t* Data() { return size_ ? storage_.data() + kGuardBytes : nullptr; }
    size_t Size() const { return size_; }
    bool GuardsIntact() const;

private:
    std::vector<uint8_t> storage_;
    size_t size_ = 0;
};

// The geometry of one delivered rectangle.
struct SBufferGeometry {
    int32_t rowBytes = 0;
    int32_t columnBytes = 0;
    int32_t planeBytes = 0;
    size_t size = 0;    // bytes the buffer spans
    size_t origin = 0;  // offset of the first pixel of row 0 within it
};

SBufferGeometry GeometryFor(const SImageSpec& imageSpec, int width, int height, int planes);

}  // namespace sim
