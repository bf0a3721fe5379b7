#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "tests/autoflat/AutoFlatPages.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace autoflat;
using namespace autoflat_testing;

#if defined(__GLIBC__)

namespace {

uint64_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return uint64_t(info.uordblks) + uint64_t(info.hblkhd);
}

// The most heap the run held when it reported, beyond what was held before.
// Reports come every few milliseconds of work, so a table that lives across
// stages is seen.
uint64_t HeldWhileFlatting(const CTestPage& page) {
    const uint64_t before = HeapInUse();
    uint64_t most = 0;
    SAutoFlatSettings settings;
    settings.workers = 1;
    AutoFlat(page.View(), nullptr, settings, [&](double, const char*) {
        most = std::max(most, HeapInUse());
        return true;
    });
    return most > before ? most - before : 0;
}

}  // namespace

// A page of a region every other pixel, or of noise, holds per-region tables
// far beyond what line art needs; the estimate a caller checks beforehand
// still covers what the run holds.
TEST(AutoFlatMemory, TheEstimateCoversDensePages) {
    const int side = 1000;
    CTestPage checkerboard(side, side), noise(side, side);
    std::mt19937 random(11);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if ((x + y) % 2) checkerboard.Set(x, y, {0});
            if (random() % 2) noise.Set(x, y, {0});
        }
    const uint64_t estimate = PeakBytes(side, side, EPageKind::Gray, false);
    EXPECT_LE(HeldWhileFlatting(checkerboard), estimate);
    EXPECT_LE(HeldWhileFlatting(noise), estimate);
}

#endif
