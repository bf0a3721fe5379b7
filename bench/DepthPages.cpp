#include "bench/DepthPages.h"

#include <algorithm>

namespace bench {

namespace {

uint64_t Mix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void PutColour(sim::CHostImage& page, int x, int y, uint64_t& state) {
    const uint64_t bits = Mix(state);
    page.At(x, y, 0) = uint8_t(64 + bits % 192);
    page.At(x, y, 1) = uint8_t(bits >> 8);
    page.At(x, y, 2) = uint8_t(bits >> 16);
}

}  // namespace

const char* LayoutName(EDepthLayout layout) {
    switch (layout) {
        case EDepthLayout::AllBlack:
            return "all black";
        case EDepthLayout::CornerPixel:
            return "corner pixel";
        case EDepthLayout::NearCorner:
            return "near a corner";
        case EDepthLayout::LastColumn:
            return "last column";
        case EDepthLayout::OneRow:
            return "one row";
        case EDepthLayout::OneColumn:
            return "one column";
        case EDepthLayout::Sparse:
            return "sparse";
    }
    return "?";
}

sim::CHostImage DepthPage(EDepthLayout layout, int width, int height, uint64_t seed) {
    sim::CHostImage page(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            page.At(x, y, 0) = uint8_t((x + 2 * y) % 9);
            page.At(x, y, 1) = uint8_t((3 * x + y) % 9);
        }
    uint64_t state = seed;
    auto below = [&](int n) { return int(Mix(state) % uint64_t(n)); };
    const int corner = below(4);
    auto cornerX = [&](int in) { return corner % 2 ? width - 1 - in : in; };
    auto cornerY = [&](int in) { return corner / 2 ? height - 1 - in : in; };
    switch (layout) {
        case EDepthLayout::AllBlack:
            break;
        case EDepthLayout::CornerPixel:
            PutColour(page, cornerX(0), cornerY(0), state);
            break;
        case EDepthLayout::NearCorner: {
            const int reach = std::max(1, std::min(width, height) / 20);
            for (int i = 1 + below(4); i > 0; --i)
                PutColour(page, cornerX(std::min(width - 1, below(reach) + 1)),
                          cornerY(std::min(height - 1, below(reach) + 1)), state);
            break;
        }
        case EDepthLayout::LastColumn:
            for (int y = 0; y < height; ++y) PutColour(page, width - 1, y, state);
            break;
        case EDepthLayout::OneRow: {
            const int row = below(height);
            for (int x = 0; x < width; ++x) PutColour(page, x, row, state);
            break;
        }
        case EDepthLayout::OneColumn: {
            const int column = below(width);
            for (int y = 0; y < height; ++y) PutColour(page, column, y, state);
            break;
        }
        case EDepthLayout::Sparse:
            for (int i = 1 + below(6); i > 0; --i) PutColour(page, below(width), below(height), state);
            break;
    }
    return page;
}

}  // namespace bench
