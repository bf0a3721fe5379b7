#include "tests/support/LaidOutImage.h"

#include <algorithm>

namespace testing_support {

namespace {

template <typename Byte>
Byte* At(Byte* buffer, const sim::SBufferGeometry& g, int x, int y, int k) {
    return buffer + std::ptrdiff_t(g.origin) + std::ptrdiff_t(y) * g.rowBytes +
           std::ptrdiff_t(x) * g.columnBytes + std::ptrdiff_t(k) * g.planeBytes;
}

}  // namespace

sim::SImageSpec SpecFor(const sim::CHostImage& document, bool cmyk, sim::ELayout layout, bool bottomUp) {
    sim::SImageSpec imageSpec;
    imageSpec.width = int16_t(document.Width());
    imageSpec.height = int16_t(document.Height());
    imageSpec.planes = int16_t(document.Planes());
    imageSpec.imageMode = cmyk ? host::plugInModeCMYKColor : host::plugInModeRGBColor;
    imageSpec.layout = layout;
    imageSpec.bottomUp = bottomUp;
    if (layout == sim::ELayout::InterleavedSteps) imageSpec.pixelPadding = 2;
    if (layout != sim::ELayout::Interleaved) imageSpec.rowPadding = 5;
    return imageSpec;
}

CLaidOutImage::CLaidOutImage(const sim::CHostImage& document, const sim::SImageSpec& imageSpec)
    : document_(document),
      spec_(imageSpec),
      geometry_(sim::GeometryFor(imageSpec, document.Width(), document.Height(), document.Planes())),
      in_(std::max<size_t>(geometry_.size, 1), 0xEE) {
    for (int y = 0; y < document.Height(); ++y)
        for (int x = 0; x < document.Width(); ++x)
            for (int k = 0; k < document.Planes(); ++k)
                *At(in_.data(), geometry_, x, y, k) = document.At(x, y, k);
    out_ = in_;
}

SFlatImage CLaidOutImage::Flat() {
    SFlatImage image;
    image.inData = in_.data() + geometry_.origin;
    image.inRowBytes = geometry_.rowBytes;
    image.inColumnBytes = geometry_.columnBytes;
    image.inPlaneBytes = geometry_.planeBytes;
    image.outData = out_.data() + geometry_.origin;
    image.outRowBytes = geometry_.rowBytes;
    image.outColumnBytes = geometry_.columnBytes;
    image.outPlaneBytes = geometry_.planeBytes;
    image.width = uint16_t(document_.Width());
    image.height = uint16_t(document_.Height());
    image.planeCount = uint16_t(document_.Planes());
    image.isCmyk = spec_.imageMode == host::plugInModeCMYKColor;
    return image;
}

sim::CHostImage CLaidOutImage::Output() const {
    sim::CHostImage result = document_;
    for (int y = 0; y < result.Height(); ++y)
        for (int x = 0; x < result.Width(); ++x)
            for (int k = 0; k < result.Planes(); ++k)
                result.At(x, y, k) = *At(out_.data(), geometry_, x, y, k);
    return result;
}

}  // namespace testing_support
