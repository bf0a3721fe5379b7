#include "tests/engine/EngineTesting.h"

#include <algorithm>

namespace engine_testing {

namespace {

template <typename Byte>
Byte* At(Byte* buffer, const sim::SBufferGeometry& g, int x, int y, int k) {
    return buffer + std::ptrdiff_t(g.origin) + std::ptrdiff_t(y) * g.rowBytes +
           std::ptrdiff_t(x) * g.columnBytes + std::ptrdiff_t(k) * g.planeBytes;
}

}  // namespace

sim::SImageSpec SpecFor(const sim::CHostImage& document, bool cmyk, sim::ELayout layout, bool bottomUp) {
    sim::SImageSpec spec;
    spec.width = int16_t(document.Width());
    spec.height = int16_t(document.Height());
    spec.planes = int16_t(document.Planes());
    spec.imageMode = cmyk ? host::plugInModeCMYKColor : host::plugInModeRGBColor;
    spec.layout = layout;
    spec.bottomUp = bottomUp;
    if (layout == sim::ELayout::InterleavedSteps) spec.pixelPadding = 2;
    if (layout != sim::ELayout::Interleaved) spec.rowPadding = 5;
    return spec;
}

CLaidOutImage::CLaidOutImage(const sim::CHostImage& document, const sim::SImageSpec& spec)
    : document_(document), spec_(spec),
      geometry_(sim::GeometryFor(spec, document.Width(), document.Height(), document.Planes())),
      in_(std::max<size_t>(geometry_.size, 1), 0xEE) {
    for (int y = 0; y < document.Height(); ++y)
        for (int x = 0; x < document.Width(); ++x)
            for (int k = 0; k < document.Planes(); ++k) *At(in_.data(), geometry_, x, y, k) = document.At(x, y, k);
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
            for (int k = 0; k < result.Planes(); ++k) result.At(x, y, k) = *At(out_.data(), geometry_, x, y, k);
    return result;
}

void CRecordingPassHost::ReportProgress(int32_t done) { reports.push_back(done); }

bool CRecordingPassHost::TestAbort() {
    ++abortCalls;
    return abort && abort();
}

void CRecordingPassHost::AddRowsDone(int32_t rows) {
    std::lock_guard<std::mutex> hold(lock_);
    rowsDone_ += rows;
    added_.push_back(rows);
}

int32_t CRecordingPassHost::RowsDone() const {
    std::lock_guard<std::mutex> hold(lock_);
    return rowsDone_;
}

std::vector<int32_t> CRecordingPassHost::Added() const {
    std::lock_guard<std::mutex> hold(lock_);
    return added_;
}

bool IsBlack(const sim::CHostImage& image, int x, int y, bool cmyk) {
    if (cmyk) return image.At(x, y, 3) < 60;
    for (int k = 0; k < image.Planes(); ++k)
        if (image.At(x, y, k) > 8) return false;
    return true;
}

sim::CHostImage RandomPage(std::mt19937& random, int width, int height, bool cmyk) {
    const int planes = cmyk ? 4 : 3;
    sim::CHostImage page(width, height, planes);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    // A few flat colour areas, as vertical or horizontal bands; colours sit
    // near the black limit now and then so the limit itself is exercised.
    std::vector<std::vector<uint8_t>> colours;
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> c(planes);
        for (auto& v : c) v = uint8_t(pick(0, 255));
        if (cmyk) c[3] = uint8_t(pick(0, 3) == 0 ? 60 : pick(60, 255));
        else if (pick(0, 3) == 0) c = {uint8_t(pick(0, 8)), uint8_t(pick(0, 8)), 9};
        else c[pick(0, 2)] = uint8_t(pick(9, 255));
        colours.push_back(c);
    }
    const bool vertical = pick(0, 1) == 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int band = (vertical ? x * 4 / width : y * 4 / height);
            for (int k = 0; k < planes; ++k) page.At(x, y, k) = colours[size_t(band)][size_t(k)];
        }

    auto paintBlack = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        for (int k = 0; k < planes; ++k) page.At(x, y, k) = uint8_t(cmyk ? pick(0, 255) : pick(0, 8));
        if (cmyk) page.At(x, y, 3) = uint8_t(pick(0, 59));
    };
    const int blobs = pick(0, 3);
    for (int i = 0; i < blobs; ++i) {
        const int cx = pick(0, width - 1), cy = pick(0, height - 1);
        const int r = pick(1, std::max(1, std::max(width, height) / 3));
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) paintBlack(x, y);
    }
    const int lines = pick(1, 5);
    for (int i = 0; i < lines; ++i) {
        const int x0 = pick(0, width - 1), y0 = pick(0, height - 1);
        const int x1 = pick(0, width - 1), y1 = pick(0, height - 1);
        const int thickness = pick(1, 3);
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
        for (int s = 0; s < steps; ++s) {
            const int x = x0 + (x1 - x0) * s / steps, y = y0 + (y1 - y0) * s / steps;
            for (int t = 0; t < thickness; ++t) paintBlack(x + (t % 2), y + (t / 2));
        }
    }
    return page;
}

}  // namespace engine_testing
