#include "bench/BenchPages.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard
// library's distributions.
class CRandom {
public:
    explicit CRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Between(int lo, int hi) { return lo + int(Next() % uint64_t(hi - lo + 1)); }

private:
    uint64_t state_;
};

struct SRgb {
    uint8_t r, g, b;
};

SRgb FlatColour(CRandom& random) {
    // At least one plane well above the black limit.
    SRgb c{uint8_t(random.Between(0, 255)), uint8_t(random.Between(0, 255)), uint8_t(random.Between(0, 255))};
    if (std::max({c.r, c.g, c.b}) < 60) c.g = uint8_t(random.Between(60, 255));
    return c;
}

SRgb Ink(CRandom& random) {
    const auto v = uint8_t(random.Between(0, 8));
    return {v, v, v};
}

void Put(sim::CHostImage& page, int x, int y, SRgb c) {
    if (x < 0 || y < 0 || x >= page.Width() || y >= page.Height()) return;
    page.At(x, y, 0) = c.r;
    page.At(x, y, 1) = c.g;
    page.At(x, y, 2) = c.b;
}

void FillRect(sim::CHostImage& page, int x0, int y0, int x1, int y1, SRgb c) {
    for (int y = std::max(y0, 0); y < std::min(y1, page.Height()); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, page.Width()); ++x) Put(page, x, y, c);
}

// Pixels whose normalised ellipse distance lies in [inner, outer).
template <typename Paint>
void Ellipse(sim::CHostImage& page, double cx, double cy, double a, double b, double grow, bool filled,
             Paint paint) {
    const double ao = a + grow, bo = b + grow, ai = std::max(a - grow, 0.5), bi = std::max(b - grow, 0.5);
    for (int y = std::max(0, int(cy - bo)); y <= std::min(page.Height() - 1, int(cy + bo)); ++y)
        for (int x = std::max(0, int(cx - ao)); x <= std::min(page.Width() - 1, int(cx + ao)); ++x) {
            const double dx = x - cx, dy = y - cy;
            const bool inOuter = dx * dx / (ao * ao) + dy * dy / (bo * bo) <= 1.0;
            const bool inInner = dx * dx / (ai * ai) + dy * dy / (bi * bi) <= 1.0;
            if (inOuter && (filled || !inInner)) paint(x, y);
        }
}

void Stroke(sim::CHostImage& page, int x0, int y0, int x1, int y1, int width, SRgb ink) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
    const int lo = -(width / 2), hi = lo + width - 1;
    for (int s = 0; s <= steps; ++s) {
        const int x = x0 + (x1 - x0) * s / steps, y = y0 + (y1 - y0) * s / steps;
        for (int oy = lo; oy <= hi; ++oy)
            for (int ox = lo; ox <= hi; ++ox) Put(page, x + ox, y + oy, ink);
    }
}

struct SPanel {
    int x0, y0, x1, y1;
};

void SplitPanels(CRandom& random, SPanel p, std::vector<SPanel>& out) {
    const int w = p.x1 - p.x0, h = p.y1 - p.y0;
    if ((w < 1400 && h < 1400) || (w < 700 || h < 700)) {
        out.push_back(p);
        return;
    }
    if (w > h) {
        const int cut = p.x0 + w * random.Between(35, 65) / 100;
        SplitPanels(random, {p.x0, p.y0, cut, p.y1}, out);
        SplitPanels(random, {cut, p.y0, p.x1, p.y1}, out);
    } else {
        const int cut = p.y0 + h * random.Between(35, 65) / 100;
        SplitPanels(random, {p.x0, p.y0, p.x1, cut}, out);
        SplitPanels(random, {p.x0, cut, p.x1, p.y1}, out);
    }
}

}  // namespace

sim::CHostImage StrokesPage(int width, int height, uint64_t seed) {
    CRandom random(seed);
    sim::CHostImage page(width, height, 3);
    std::vector<SPanel> panels;
    SplitPanels(random, {0, 0, width, height}, panels);

    for (const SPanel& p : panels) {
        FillRect(page, p.x0, p.y0, p.x1, p.y1, FlatColour(random));
        const int w = p.x1 - p.x0, h = p.y1 - p.y0;
        // Areas of colour inside the panel, each outlined.
        const int areas = random.Between(3, 8);
        for (int i = 0; i < areas; ++i) {
            const double cx = p.x0 + random.Between(0, w), cy = p.y0 + random.Between(0, h);
            const double a = random.Between(40, std::max(41, w / 3)),
                         b = random.Between(40, std::max(41, h / 3));
            const SRgb fill = FlatColour(random);
            Ellipse(page, cx, cy, a, b, 0, true, [&](int x, int y) {
                if (x >= p.x0 && x < p.x1 && y >= p.y0 && y < p.y1) Put(page, x, y, fill);
            });
            const SRgb ink = Ink(random);
            const double half = random.Between(2, 6) / 2.0;
            Ellipse(page, cx, cy, a, b, half, false, [&](int x, int y) {
                if (x >= p.x0 && x < p.x1 && y >= p.y0 && y < p.y1) Put(page, x, y, ink);
            });
        }
        // Line work: a few straight strokes across the panel.
        const int lines = random.Between(4, 12);
        for (int i = 0; i < lines; ++i)
            Stroke(page, p.x0 + random.Between(0, w), p.y0 + random.Between(0, h),
                   p.x0 + random.Between(0, w), p.y0 + random.Between(0, h), random.Between(2, 6),
                   Ink(random));
        // The panel's border.
        const int border = random.Between(2, 6);
        const SRgb ink = Ink(random);
        FillRect(page, p.x0, p.y0, p.x1, p.y0 + border, ink);
        FillRect(page, p.x0, p.y1 - border, p.x1, p.y1, ink);
        FillRect(page, p.x0, p.y0, p.x0 + border, p.y1, ink);
        FillRect(page, p.x1 - border, p.y0, p.x1, p.y1, ink);
    }
    return page;
}

double BlackFraction(const sim::CHostImage& page) {
    size_t black = 0;
    const auto bytes = page.Bytes();
    for (size_t i = 0; i + 2 < bytes.size(); i += 3)
        black += bytes[i] <= 8 && bytes[i + 1] <= 8 && bytes[i + 2] <= 8;
    return double(black) / double(std::max<size_t>(bytes.size() / 3, 1));
}

double AddBlackBlobs(sim::CHostImage& page, double fraction, uint64_t seed) {
    CRandom random(seed);
    double reached = BlackFraction(page);
    const double pixels = double(page.Width()) * page.Height();
    while (reached < fraction) {
        const double a = random.Between(60, 400), b = random.Between(60, 400);  // up to 800 across
        const double cx = random.Between(0, page.Width() - 1), cy = random.Between(0, page.Height() - 1);
        const SRgb ink = Ink(random);
        size_t added = 0;
        Ellipse(page, cx, cy, a, b, 0, true, [&](int x, int y) {
            added += page.At(x, y, 0) > 8 || page.At(x, y, 1) > 8 || page.At(x, y, 2) > 8;
            Put(page, x, y, ink);
        });
        reached += double(added) / pixels;
    }
    return reached;
}

SFlatImage PackedRgbImage(const sim::CHostImage& page, uint8_t* out) {
    SFlatImage image;
    image.inData = page.Bytes().data();
    image.outData = out;
    image.inRowBytes = image.outRowBytes = page.Width() * 3;
    image.inColumnBytes = image.outColumnBytes = 3;
    image.inPlaneBytes = image.outPlaneBytes = 1;
    image.width = uint16_t(page.Width());
    image.height = uint16_t(page.Height());
    image.planeCount = 3;
    return image;
}

}  // namespace bench
