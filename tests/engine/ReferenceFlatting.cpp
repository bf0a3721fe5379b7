#include "tests/engine/ReferenceFlatting.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>

#include "tests/engine/EngineTesting.h"

namespace engine_testing {

void PrintTo(const SRefOffset& offset, std::ostream* out) {
    *out << "(" << offset.dx << ", " << offset.dy << ")";
}

std::vector<SRefOffset> ReferenceOrder(int radius) {
    static std::map<int, std::vector<SRefOffset>> cache;
    if (auto found = cache.find(radius); found != cache.end()) return found->second;

    struct SKeyed {
        long long distSq;
        double rank;   // higher comes first
        double angle;  // from straight down, counter-clockwise on the screen
        SRefOffset offset;
    };
    std::vector<SKeyed> all;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const long long d = 1LL * dx * dx + 1LL * dy * dy;
            if (d == 0 || d > 1LL * radius * radius) continue;
            const int ring = std::max(std::abs(dx), std::abs(dy));
            double rank = ring;
            if (std::min(std::abs(dx), std::abs(dy)) == 0 && ring == 5) rank = 3.5;
            if (std::min(std::abs(dx), std::abs(dy)) == 0 && ring == 10) rank = 7.5;
            // Rows grow downwards, so straight down is +dy and turning
            // counter-clockwise on the screen heads for +dx first.
            double angle = std::atan2(double(dx), double(dy));
            if (angle < 0) angle += 2 * std::numbers::pi;
            all.push_back({d, rank, angle, {dx, dy}});
        }
    std::sort(all.begin(), all.end(), [](const SKeyed& l, const SKeyed& r) {
        return std::tie(l.distSq, r.rank, l.angle) < std::tie(r.distSq, l.rank, r.angle);
    });
    std::vector<SRefOffset> order;
    for (const SKeyed& k : all) order.push_back(k.offset);
    return cache[radius] = order;
}

SReference ReferenceFlat(const sim::CHostImage& input, bool cmyk, int maxDepth, bool paintWhite) {
    const int width = input.Width(), height = input.Height();
    const int radius = std::max(maxDepth, 10);
    // Beyond the image's diagonal every offset lies outside; past it the
    // search can only give up, so there is no need to list further.
    const int diagonal = int(std::ceil(std::hypot(width - 1, height - 1))) + 2;
    const bool truncated = diagonal < radius;
    const std::vector<SRefOffset> order = ReferenceOrder(truncated ? diagonal : radius);

    SReference ref{input, std::vector<bool>(size_t(width) * size_t(height), true)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!IsBlack(input, x, y, cmyk)) continue;
            auto known = ref.known.begin() + std::ptrdiff_t(y) * width + x;
            int outside = 0;
            bool decided = false;
            for (const SRefOffset& o : order) {
                const int cx = x + o.dx, cy = y + o.dy;
                if (cx < 0 || cy < 0 || cx >= width || cy >= height) {
                    if (++outside == 8) break;
                    continue;
                }
                outside = 0;
                if (!IsBlack(input, cx, cy, cmyk)) {
                    for (int k = 0; k < input.Planes(); ++k) ref.expected.At(x, y, k) = input.At(cx, cy, k);
                    decided = true;
                    break;
                }
            }
            if (decided) continue;
            if (outside == 8 || truncated) {
                *known = false;
            } else if (paintWhite) {
                for (int k = 0; k < input.Planes(); ++k) ref.expected.At(x, y, k) = 255;
            }
        }
    return ref;
}

}  // namespace engine_testing
