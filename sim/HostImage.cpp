#include "sim/HostImage.h"

#include <algorithm>
#include <cstring>

#include "sim/AsanPoison.h"

namespace sim {

CHostImage::CHostImage(int width, int height, int planes) {
    Shape(width, height, planes);
    std::fill_n(pixels_.Data(), pixels_.Size(), uint8_t(0));
}

CHostImage CHostImage::Uninitialised(int width, int height, int planes) {
    CHostImage image;
    image.Shape(width, height, planes);
    return image;
}

void CHostImage::Shape(int width, int height, int planes) {
    width_ = width;
    height_ = height;
    planes_ = planes;
    pixels_.AllocateUninitialised(size_t(width) * size_t(height) * size_t(planes));
}

CHostImage::CHostImage(const CHostImage& other) { *this = other; }

CHostImage& CHostImage::operator=(const CHostImage& other) {
    if (this == &other) return *this;
    Shape(other.width_, other.height_, other.planes_);
    if (pixels_.Size()) std::memcpy(pixels_.Data(), other.pixels_.Data(), pixels_.Size());
    return *this;
}

bool CHostImage::operator==(const CHostImage& other) const {
    return width_ == other.width_ && height_ == other.height_ && planes_ == other.planes_ &&
           std::equal(Bytes().begin(), Bytes().end(), other.Bytes().begin());
}

void CHostImage::SetPixel(int x, int y, std::initializer_list<uint8_t> values) {
    int plane = 0;
    for (uint8_t v : values) {
        if (plane >= planes_) break;
        At(x, y, plane++) = v;
    }
}

CGuardedBuffer& CGuardedBuffer::operator=(CGuardedBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        storage_ = std::move(other.storage_);
        size_ = other.size_;
        other.size_ = 0;
    }
    return *this;
}

void CGuardedBuffer::Allocate(size_t size) {
    AllocateUninitialised(size);
    std::fill_n(storage_.get() + kGuardBytes, size, kGuardValue);
}

void CGuardedBuffer::AllocateUninitialised(size_t size) {
    Release();
    // Default-initialised: a large block stays untouched, and so costs no
    // memory, until it is written.
    storage_.reset(new uint8_t[size + 2 * kGuardBytes]);
    size_ = size;
    std::fill_n(storage_.get(), kGuardBytes, kGuardValue);
    std::fill_n(storage_.get() + kGuardBytes + size, kGuardBytes, kGuardValue);
    Poison();
}

void CGuardedBuffer::Poison() const {
    PoisonBytes(storage_.get(), kGuardBytes);
    PoisonBytes(storage_.get() + kGuardBytes + size_, kGuardBytes);
}

void CGuardedBuffer::Release() {
    if (storage_) UnpoisonBytes(storage_.get(), size_ + 2 * kGuardBytes);
    storage_.reset();
    size_ = 0;
}

bool CGuardedBuffer::GuardsIntact() const {
    if (!storage_) return true;
    const size_t total = size_ + 2 * kGuardBytes;
    // The host's own look at its guards must not trip the sanitizer.
    UnpoisonBytes(storage_.get(), total);
    auto intact = [](const uint8_t* first, const uint8_t* last) {
        return std::all_of(first, last, [](uint8_t b) { return b == kGuardValue; });
    };
    const bool ok = intact(storage_.get(), storage_.get() + kGuardBytes) &&
                    intact(storage_.get() + total - kGuardBytes, storage_.get() + total);
    Poison();
    return ok;
}

SBufferGeometry GeometryFor(const SImageSpec& imageSpec, int width, int height, int planes) {
    SBufferGeometry g;
    const int32_t pixelBytes =
        imageSpec.layout == ELayout::InterleavedSteps ? planes + imageSpec.pixelPadding : planes;
    if (imageSpec.layout == ELayout::Planar) {
        g.columnBytes = 1;
        g.rowBytes = width + imageSpec.rowPadding;
        g.planeBytes = g.rowBytes * height;
        g.size = size_t(g.planeBytes) * size_t(std::max(planes, 1));
    } else {
        g.columnBytes = pixelBytes;
        g.planeBytes = 1;
        g.rowBytes = width * pixelBytes + imageSpec.rowPadding;
        g.size = size_t(g.rowBytes) * size_t(height);
    }
    if (imageSpec.bottomUp && height > 0) {
        // Row 0 sits at the end of the block and rows go backwards.
        g.origin = size_t(g.rowBytes) * size_t(height - 1);
        g.rowBytes = -g.rowBytes;
    }
    return g;
}

}  // namespace sim
