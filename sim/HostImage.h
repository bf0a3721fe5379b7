// The document a simulated host holds, and the buffers it hands a plug-in.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <utility>

#include "hostapi/HostInterface.h"

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

// A block of bytes fenced by guard bytes on both sides, so that a stray
// write outside it is caught; under AddressSanitizer a stray read too. The
// host hands such blocks to the plug-in: copies made for one request, or
// the document's own pixels when a request covers them exactly.
class CGuardedBuffer {
public:
    static constexpr size_t kGuardBytes = 256;
    static constexpr uint8_t kGuardValue = 0xA5;

    CGuardedBuffer() = default;
    ~CGuardedBuffer() { Release(); }
    CGuardedBuffer(const CGuardedBuffer&) = delete;
    CGuardedBuffer& operator=(const CGuardedBuffer&) = delete;
    CGuardedBuffer(CGuardedBuffer&& other) noexcept { *this = std::move(other); }
    CGuardedBuffer& operator=(CGuardedBuffer&& other) noexcept;

    // Every byte, inside and out, holds the guard value.
    void Allocate(size_t size);
    // Only the guards are written: the pages of a large block are not
    // touched until the caller fills them.
    void AllocateUninitialised(size_t size);
    void Release();
    uint8_t* Data() { return size_ ? storage_.get() + kGuardBytes : nullptr; }
    const uint8_t* Data() const { return size_ ? storage_.get() + kGuardBytes : nullptr; }
    size_t Size() const { return size_; }
    bool GuardsIntact() const;

private:
    void Poison() const;

    std::unique_ptr<uint8_t[]> storage_;
    size_t size_ = 0;
};

// Pixels of the document, interleaved, `planes` bytes per pixel, in a
// guarded block so that the host can lend them to the plug-in as they are.
class CHostImage {
public:
    CHostImage() = default;
    // All samples 0.
    CHostImage(int width, int height, int planes);
    // Samples left for the caller to fill (a file decoder, say).
    static CHostImage Uninitialised(int width, int height, int planes);

    CHostImage(const CHostImage& other);
    CHostImage& operator=(const CHostImage& other);
    CHostImage(CHostImage&&) noexcept = default;
    CHostImage& operator=(CHostImage&&) noexcept = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Planes() const { return planes_; }
    uint8_t& At(int x, int y, int plane) { return pixels_.Data()[Index(x, y, plane)]; }
    uint8_t At(int x, int y, int plane) const { return pixels_.Data()[Index(x, y, plane)]; }
    void SetPixel(int x, int y, std::initializer_list<uint8_t> values);
    std::span<uint8_t> Bytes() { return {pixels_.Data(), pixels_.Size()}; }
    std::span<const uint8_t> Bytes() const { return {pixels_.Data(), pixels_.Size()}; }
    size_t RowBytes() const { return size_t(width_) * size_t(planes_); }
    // No write outside the pixels since they were allocated.
    bool GuardsIntact() const { return pixels_.GuardsIntact(); }
    bool operator==(const CHostImage& other) const;

private:
    size_t Index(int x, int y, int plane) const {
        return (size_t(y) * size_t(width_) + size_t(x)) * size_t(planes_) + size_t(plane);
    }
    void Shape(int width, int height, int planes);

    int width_ = 0;
    int height_ = 0;
    int planes_ = 0;
    CGuardedBuffer pixels_;
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
