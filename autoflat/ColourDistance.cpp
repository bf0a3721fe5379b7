#include "autoflat/ColourDistance.h"

#include <cmath>
#include <numbers>

namespace autoflat {

namespace {

double Linear(uint8_t value) {
    const double v = value / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double LabCurve(double t) {
    constexpr double e = 216.0 / 24389.0, k = 24389.0 / 27.0;
    return t > e ? std::cbrt(t) : (k * t + 16.0) / 116.0;
}

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

SLab LabFromSrgb(uint8_t r8, uint8_t g8, uint8_t b8) {
    const double r = Linear(r8), g = Linear(g8), b = Linear(b8);
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = LabCurve(x), fy = LabCurve(y), fz = LabCurve(z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

// Sharma, Wu and Dalal's formulation, with unit weights.
double DeltaE2000(const SLab& x, const SLab& y) {
    const double c1 = std::hypot(x.a, x.b), c2 = std::hypot(y.a, y.b);
    const double cMean = (c1 + c2) / 2.0;
    const double c7 = std::pow(cMean, 7.0);
    const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + std::pow(25.0, 7.0))));
    const double a1 = (1.0 + g) * x.a, a2 = (1.0 + g) * y.a;
    const double c1p = std::hypot(a1, x.b), c2p = std::hypot(a2, y.b);
    auto hue = [](double b, double a) {
        if (a == 0 && b == 0) return 0.0;
        const double h = Degrees(std::atan2(b, a));
        return h < 0 ? h + 360.0 : h;
    };
    const double h1 = hue(x.b, a1), h2 = hue(y.b, a2);
    const double dL = y.l - x.l, dC = c2p - c1p;
    double dh = 0;
    if (c1p * c2p != 0) {
        dh = h2 - h1;
        if (dh > 180) dh -= 360;
        if (dh < -180) dh += 360;
    }
    const double dH = 2.0 * std::sqrt(c1p * c2p) * std::sin(Radians(dh / 2.0));
    const double lMean = (x.l + y.l) / 2.0, cpMean = (c1p + c2p) / 2.0;
    double hMean = h1 + h2;
    if (c1p * c2p != 0) {
        if (std::abs(h1 - h2) > 180) hMean += hMean < 360 ? 360 : -360;
        hMean /= 2.0;
    }
    const double t = 1.0 - 0.17 * std::cos(Radians(hMean - 30)) + 0.24 * std::cos(Radians(2 * hMean)) +
                     0.32 * std::cos(Radians(3 * hMean + 6)) - 0.20 * std::cos(Radians(4 * hMean - 63));
    const double dTheta = 30.0 * std::exp(-std::pow((hMean - 275.0) / 25.0, 2.0));
    const double cp7 = std::pow(cpMean, 7.0);
    const double rc = 2.0 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7.0)));
    const double l50 = (lMean - 50.0) * (lMean - 50.0);
    const double sl = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sc = 1.0 + 0.045 * cpMean;
    const double sh = 1.0 + 0.015 * cpMean * t;
    const double rt = -std::sin(Radians(2.0 * dTheta)) * rc;
    const double tl = dL / sl, tc = dC / sc, th = dH / sh;
    return std::sqrt(tl * tl + tc * tc + th * th + rt * tc * th);
}

}  // namespace autoflat
