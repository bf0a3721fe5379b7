// Small pages drawn for the auto-flats tests, and what the tests read back.
#pragma once

#include <cstdint>
#include <vector>

#include "autoflat/AutoFlats.h"

namespace autoflat_testing {

// A page of interleaved samples, paper white (and opaque) to begin with.
class CTestPage {
public:
    CTestPage(int width, int height, autoflat::EPageKind kind = autoflat::EPageKind::Gray);

    // Every channel but alpha set to `value`, alpha opaque.
    void Fill(int x0, int y0, int x1, int y1, uint8_t value);
    void Set(int x, int y, std::vector<uint8_t> samples);
    // The outline of the box [x0, x1) x [y0, y1), `width` pixels thick, black.
    void Box(int x0, int y0, int x1, int y1, int width = 2);
    autoflat::SPageView View() const;

    int width, height;
    autoflat::EPageKind kind;
    std::vector<uint8_t> samples;
};

uint32_t LabelAt(const autoflat::SAutoFlatResult& result, int x, int y);
autoflat::SAutoFlatResult Flat(const CTestPage& page, autoflat::SAutoFlatSettings settings = {},
                               const CTestPage* hints = nullptr);

}  // namespace autoflat_testing
