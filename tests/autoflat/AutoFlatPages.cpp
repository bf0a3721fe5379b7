#include "tests/autoflat/AutoFlatPages.h"

#include <algorithm>

namespace autoflat_testing {

CTestPage::CTestPage(int w, int h, autoflat::EPageKind k)
    : width(w), height(h), kind(k), samples(size_t(w) * h * autoflat::ChannelCount(k), 255) {
    // Ink coverage: a blank CMYK page carries no ink.
    if (autoflat::IsCmyk(kind)) Fill(0, 0, w, h, 0);
}

void CTestPage::Fill(int x0, int y0, int x1, int y1, uint8_t value) {
    const int channels = autoflat::ChannelCount(kind);
    const int colours = autoflat::HasAlpha(kind) ? channels - 1 : channels;
    for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, width); ++x)
            for (int c = 0; c < colours; ++c) samples[(size_t(y) * width + x) * channels + c] = value;
}

void CTestPage::Set(int x, int y, std::vector<uint8_t> pixel) {
    const int channels = autoflat::ChannelCount(kind);
    std::copy(pixel.begin(), pixel.end(), samples.begin() + (size_t(y) * width + x) * channels);
}

void CTestPage::Box(int x0, int y0, int x1, int y1, int w) {
    if (autoflat::IsCmyk(kind)) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (x < x0 + w || x >= x1 - w || y < y0 + w || y >= y1 - w) Set(x, y, {0, 0, 0, 255});
        return;
    }
    Fill(x0, y0, x1, y0 + w, 0);
    Fill(x0, y1 - w, x1, y1, 0);
    Fill(x0, y0, x0 + w, y1, 0);
    Fill(x1 - w, y0, x1, y1, 0);
}

autoflat::SPageView CTestPage::View() const {
    autoflat::SPageView view;
    view.pixels = samples.data();
    view.width = width;
    view.height = height;
    view.kind = kind;
    return view;
}

uint32_t LabelAt(const autoflat::SAutoFlatResult& result, int x, int y) {
    return result.labels[size_t(y) * result.width + x];
}

autoflat::SAutoFlatResult Flat(const CTestPage& page, autoflat::SAutoFlatSettings settings,
                               const CTestPage* hints) {
    if (settings.workers == 0) settings.workers = 1;
    autoflat::SPageView hintView;
    if (hints) hintView = hints->View();
    return autoflat::AutoFlat(page.View(), hints ? &hintView : nullptr, settings);
}

}  // namespace autoflat_testing
