#include "tests/engine/FastPathTesting.h"

#include <algorithm>
#include <cstdlib>

#include "engine/BandWalker.h"
#include "engine/FlatStrip.h"

namespace fastpath_testing {

std::ostream& operator<<(std::ostream& out, const SPageCase& c) {
    return out << c.width << "x" << c.height << (c.cmyk ? " CMYK" : " RGB") << " layout " << int(c.layout)
               << (c.bottomUp ? " bottom-up" : "") << " art " << int(c.art) << " depth " << c.depth
               << (c.white ? " W" : " B");
}

SBandCounts WalkBand(const SFlatImage& image, CPixelDistance& search, bool white, EFlatMethod method,
                     int first, int end, bool alwaysTransform) {
    CBandWalker walker(image, search, SPassSettings{search.maxRings, white, method});
    CFastPathStrips* fastPath = walker.FastPath();
    if (fastPath && alwaysTransform) fastPath->AlwaysTransform();
    walker.Walk(first, end, kStripRows);
    if (!fastPath) return {};
    return {fastPath->SettledPixels(), fastPath->ReplayedPixels(), fastPath->TransformedStrips()};
}

uint64_t MeasuredDistSq(const sim::CHostImage& page, bool cmyk, int x, int y) {
    uint64_t best = UINT64_MAX;
    for (int v = 0; v < page.Height(); ++v)
        for (int u = 0; u < page.Width(); ++u)
            if (!IsBlack(page, u, v, cmyk))
                best = std::min<uint64_t>(best, uint64_t((u - x) * (u - x)) + uint64_t((v - y) * (v - y)));
    return best;
}

sim::CHostImage RandomArt(std::mt19937& random, int width, int height, bool cmyk, EArt art) {
    const int planes = cmyk ? 4 : 3;
    sim::CHostImage page(width, height, planes);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    auto paintColour = [&](int x, int y) {
        // Colours right at the black limits now and then.
        for (int k = 0; k < planes; ++k) page.At(x, y, k) = uint8_t(pick(0, 255));
        if (cmyk)
            page.At(x, y, 3) = uint8_t(pick(0, 2) == 0 ? 60 : pick(60, 255));
        else if (pick(0, 2) == 0)
            page.At(x, y, 0) = 9, page.At(x, y, 1) = uint8_t(pick(0, 8)),
                          page.At(x, y, 2) = uint8_t(pick(0, 8));
        else
            page.At(x, y, pick(0, 2)) = uint8_t(pick(9, 255));
    };
    auto paintBlack = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        for (int k = 0; k < planes; ++k) page.At(x, y, k) = uint8_t(cmyk ? pick(0, 255) : pick(0, 8));
        if (cmyk) page.At(x, y, 3) = uint8_t(pick(0, 59));
    };

    if (art == EArt::AllBlack || art == EArt::FewColours) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) paintBlack(x, y);
        if (art == EArt::FewColours) {
            const int dots = pick(1, 4);
            for (int i = 0; i < dots; ++i) paintColour(pick(0, width - 1), pick(0, height - 1));
        }
        return page;
    }

    // Flat colour in a few bands, each band one colour.
    const bool vertical = pick(0, 1) == 0;
    std::vector<std::vector<uint8_t>> colours;
    for (int i = 0; i < 4; ++i) {
        paintColour(0, 0);
        colours.emplace_back(planes);
        for (int k = 0; k < planes; ++k) colours.back()[size_t(k)] = page.At(0, 0, k);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int band = vertical ? x * 4 / width : y * 4 / height;
            for (int k = 0; k < planes; ++k) page.At(x, y, k) = colours[size_t(band)][size_t(k)];
        }

    if (art == EArt::Blobs) {
        // Discs and rectangles whose centres may lie outside the image, so
        // black meets edges and corners.
        const int shapes = pick(1, 5);
        const int span = std::max(width, height);
        for (int i = 0; i < shapes; ++i) {
            const int cx = pick(-span / 4, width - 1 + span / 4), cy = pick(-span / 4, height - 1 + span / 4);
            const int r = pick(1, std::max(1, span * 2 / 3));
            const bool disc = pick(0, 1) == 0;
            for (int y = std::max(0, cy - r); y <= std::min(height - 1, cy + r); ++y)
                for (int x = std::max(0, cx - r); x <= std::min(width - 1, cx + r); ++x)
                    if (!disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) paintBlack(x, y);
        }
        // Specks of colour inside the black now and then.
        const int specks = pick(0, 3);
        for (int i = 0; i < specks; ++i) paintColour(pick(0, width - 1), pick(0, height - 1));
    }

    const int lines = art == EArt::Lines ? pick(2, 8) : pick(0, 3);
    for (int i = 0; i < lines; ++i) {
        const int x0 = pick(0, width - 1), y0 = pick(0, height - 1), x1 = pick(0, width - 1),
                  y1 = pick(0, height - 1);
        const int thickness = pick(1, 4);
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
        for (int s = 0; s < steps; ++s)
            for (int t = 0; t < thickness * thickness; ++t)
                paintBlack(x0 + (x1 - x0) * s / steps + t % thickness,
                           y0 + (y1 - y0) * s / steps + t / thickness);
    }
    return page;
}

}  // namespace fastpath_testing
