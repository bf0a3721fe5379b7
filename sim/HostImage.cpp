#include "sim/HostImage.h"

#include <algorithm>

#include "sim/AsanPoison.h"

namespace sim {

void CHostImage::SetPixel(int x, int y, std::initializer_list<uint8_t> values) {
    int plane = 0;
    for (uint8_t v : values) {
        if (plane >= planes_) break;
        At(x, y, plane++) = v;
    }
}

void CGuardedBuffer::Allocate(size_t size) {
    Release();
    size_ = size;
    storage_.assign(size + 2 * kGuardBytes, kGuardValue);
    PoisonBytes(storage_.data(), kGuardBytes);
    PoisonBytes(storage_.data() + kGuardBytes + size, kGuardBytes);
}

void CGuardedBuffer::Release() {
    UnpoisonBytes(storage_.data(), storage_.size());
    storage_.clear();
    size_ = 0;
}

bool CGuardedBuffer::GuardsIntact() const {
    if (storage_.empty()) return true;
    // The host's own look at its guards must not trip the sanitizer.
    UnpoisonBytes(storage_.data(), storage_.size());
    struct SRepoison {
        const CGuardedBuffer& buffer;
        ~SRepoison() {
            PoisonBytes(buffer.storage_.data(), kGuardBytes);
            PoisonBytes(buffer.storage_.data() + kGuardBytes + buffer.size_, kGuardBytes);
        }
    } repoison{*this};
    auto intact = [](auto first, auto last) { return std::all_of(first, last, [](uint8_t b) { return b == kGuardValue; }); };
    return intact(storage_.begin(), storage_.begin() + kGuardBytes) &&
           intact(storage_.end() - kGuardBytes, storage_.end());
}

SBufferGeometry GeometryFor(const SImageSpec& imageSpec, int width, int height, int planes) {
    SBufferGeometry g;
    const int32_t pixelBytes = imageSpec.layout == ELayout::InterleavedSteps ? planes + imageSpec.pixelPadding : planes;
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
