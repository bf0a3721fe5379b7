#include "autoflat/AutoColours.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <set>
#include <utility>
#include <unordered_set>

namespace autoflat {

namespace {

// The print gamut. A coated offset press (ISO Coated v2 / FOGRA39, which
// SWOP roughly matches) reaches its strongest colour for each hue at a cusp:
// the solid primaries and their two-ink overprints, listed here as lightness,
// chroma and hue from the published characterisation. In the lightness-chroma
// plane of one hue the gamut's edge bulges outwards from the straight lines
// joining paper white, the cusp and the deepest black, so the triangle they
// make lies inside it; chroma is then cut to 80% for presses, papers and
// conversions that do worse. No ICC profile is needed at run time, and a
// colour inside survives any ordinary conversion to CMYK without visible
// change, which is what a flat needs: the colourist selects by it later.
struct SCusp {
    double hue, lightness, chroma;
};
constexpr std::array<SCusp, 6> kCusps = {{
    {35.0, 47.0, 83.0},   // red (M + Y)
    {93.0, 89.0, 93.0},   // yellow
    {157.0, 50.0, 70.0},  // green (C + Y)
    {233.5, 55.0, 62.0},  // cyan
    {296.0, 24.0, 51.0},  // blue (C + M)
    {358.0, 48.0, 74.0},  // magenta
}};
constexpr double kPaperLightness = 95.0;
constexpr double kBlackLightness = 16.0;
constexpr double kChromaShare = 0.8;

SCusp CuspAt(double hue) {
    for (size_t i = 0; i < kCusps.size(); ++i) {
        const SCusp& from = kCusps[i];
        const SCusp& to = kCusps[(i + 1) % kCusps.size()];
        double span = to.hue - from.hue;
        double along = hue - from.hue;
        if (span < 0) span += 360.0;
        if (along < 0) along += 360.0;
        if (along <= span) {
            const double t = along / span;
            return {hue, from.lightness + t * (to.lightness - from.lightness),
                    from.chroma + t * (to.chroma - from.chroma)};
        }
    }
    return kCusps[0];
}

// Lightnesses of the automatic colours: light enough that line art stays
// readable over them when the lines are kept, never near paper white.
constexpr double kLightestAuto = 90.0;
constexpr double kDarkestAuto = 35.0;

// The grid the distinct colours are picked from, in sRGB steps.
constexpr int kDistinctGridStep = 12;

// Whether a colour keeps the floor to every one of the others. Lightness
// alone rules most of them out cheaply: CIEDE2000 weighs a lightness
// difference down by at most this much.
bool FarFromAll(const SLab& lab, const std::vector<SLab>& others) {
    constexpr double kLightnessWeight = 1.7;
    for (const SLab& other : others) {
        if (std::abs(other.l - lab.l) >= kMinDistinctDeltaE * kLightnessWeight) continue;
        if (DeltaE2000(other, lab) < kMinDistinctDeltaE) return false;
    }
    return true;
}

}  // namespace

SColour InksFromSrgb(const SColour& rgb) {
    const int r = rgb.v[0], g = rgb.v[1], b = rgb.v[2];
    const int k = 255 - std::max({r, g, b});
    SColour inks;
    if (k < 255) {
        const int white = 255 - k;
        inks.v[0] = uint8_t((white - r) * 255 / white);
        inks.v[1] = uint8_t((white - g) * 255 / white);
        inks.v[2] = uint8_t((white - b) * 255 / white);
    }
    inks.v[3] = uint8_t(k);
    return inks;
}

SColour SrgbFromInks(const SColour& inks) {
    const int white = 255 - inks.v[3];
    SColour rgb;
    for (int i = 0; i < 3; ++i) rgb.v[i] = uint8_t((255 - inks.v[i]) * white / 255);
    return rgb;
}

bool InPrintGamut(uint8_t r, uint8_t g, uint8_t b) {
    const SLab lab = LabFromSrgb(r, g, b);
    const double chroma = std::hypot(lab.a, lab.b);
    if (lab.l >= kPaperLightness || lab.l <= kBlackLightness) return chroma < 1.0;
    double hue = std::atan2(lab.b, lab.a) * 180.0 / std::numbers::pi;
    if (hue < 0) hue += 360.0;
    const SCusp cusp = CuspAt(hue);
    const double edge = lab.l >= cusp.lightness
                            ? cusp.chroma * (kPaperLightness - lab.l) / (kPaperLightness - cusp.lightness)
                            : cusp.chroma * (lab.l - kBlackLightness) / (cusp.lightness - kBlackLightness);
    return chroma <= kChromaShare * edge;
}

std::vector<SColour> PickDistinctColours() {
    // Greedy over a coarse sRGB grid: a colour joins when it keeps the floor
    // to every colour already in. It takes a tenth of a second, too long for
    // every process that colours a page, and its floating point could tip
    // one colour differently on another compiler: the product reads the
    // table this makes.
    std::vector<SColour> chosen;
    std::vector<SLab> labs;
    for (int r = 0; r < 256; r += kDistinctGridStep)
        for (int g = 0; g < 256; g += kDistinctGridStep)
            for (int b = 0; b < 256; b += kDistinctGridStep) {
                const SLab lab = LabFromSrgb(uint8_t(r), uint8_t(g), uint8_t(b));
                if (lab.l < kDarkestAuto || lab.l > kLightestAuto) continue;
                if (!InPrintGamut(uint8_t(r), uint8_t(g), uint8_t(b))) continue;
                if (!FarFromAll(lab, labs)) continue;
                chosen.push_back(SColour{{uint8_t(r), uint8_t(g), uint8_t(b), 0}});
                labs.push_back(lab);
            }
    return chosen;
}

const std::vector<SColour>& DistinctColours() {
    static const std::vector<SColour> colours = [] {
        constexpr uint8_t kTable[][3] = {
#include "autoflat/DistinctColourTable.inc"
        };
        std::vector<SColour> all;
        for (const auto& c : kTable) all.push_back(SColour{{c[0], c[1], c[2], 0}});
        return all;
    }();
    return colours;
}

SLab LabOf(const SColour& colour, bool cmyk) {
    const SColour rgb = cmyk ? SrgbFromInks(colour) : colour;
    return LabFromSrgb(rgb.v[0], rgb.v[1], rgb.v[2]);
}

}  // namespace autoflat
