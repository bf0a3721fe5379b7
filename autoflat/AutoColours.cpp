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

// Base colours are picked farthest-first down to this spacing. The small
// variations that make each region's colour its own can bring two bases
// closer than the minimum; the choice for each region checks the colours it
// really gets, and a wider spacing would leave too few bases in the gamut.
constexpr double kBaseSpacing = kMinTouchingDeltaE + 1.0;

// Variations of a base colour, nearest first: steps of one in each sRGB
// channel, out to this many.
constexpr int kVariationReach = 12;

uint32_t Key(const SColour& c) {
    return uint32_t(c.v[0]) | uint32_t(c.v[1]) << 8 | uint32_t(c.v[2]) << 16 | uint32_t(c.v[3]) << 24;
}

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

struct SVariations {
    std::vector<std::array<int8_t, 3>> steps;
    SVariations() {
        for (int r = -kVariationReach; r <= kVariationReach; ++r)
            for (int g = -kVariationReach; g <= kVariationReach; ++g)
                for (int b = -kVariationReach; b <= kVariationReach; ++b)
                    steps.push_back({int8_t(r), int8_t(g), int8_t(b)});
        std::stable_sort(steps.begin(), steps.end(), [](const auto& x, const auto& y) {
            return x[0] * x[0] + x[1] * x[1] + x[2] * x[2] < y[0] * y[0] + y[1] * y[1] + y[2] * y[2];
        });
    }
};

const SVariations& Variations() {
    static const SVariations variations;
    return variations;
}

}  // namespace

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

const std::vector<SColour>& BaseColours() {
    static const std::vector<SColour> bases = [] {
        struct SCandidate {
            SColour colour;
            SLab lab;
            double nearest;
        };
        std::vector<SCandidate> candidates;
        for (int r = 0; r < 256; r += 15)
            for (int g = 0; g < 256; g += 15)
                for (int b = 0; b < 256; b += 15) {
                    const SLab lab = LabFromSrgb(uint8_t(r), uint8_t(g), uint8_t(b));
                    if (lab.l < kDarkestAuto || lab.l > kLightestAuto) continue;
                    if (!InPrintGamut(uint8_t(r), uint8_t(g), uint8_t(b))) continue;
                    // Room for the variations: a base whose neighbours in
                    // sRGB leave the gamut would run out of them at once.
                    if (!InPrintGamut(uint8_t(std::min(r + 6, 255)), uint8_t(g), uint8_t(b)) ||
                        !InPrintGamut(uint8_t(r), uint8_t(std::min(g + 6, 255)), uint8_t(b)) ||
                        !InPrintGamut(uint8_t(r), uint8_t(g), uint8_t(std::min(b + 6, 255))))
                        continue;
                    candidates.push_back({SColour{{uint8_t(r), uint8_t(g), uint8_t(b), 0}}, lab, 1e9});
                }
        std::vector<SColour> chosen;
        // Start from the most colourful candidate, then always the one
        // farthest from all chosen so far.
        size_t next = 0;
        for (size_t i = 1; i < candidates.size(); ++i)
            if (std::hypot(candidates[i].lab.a, candidates[i].lab.b) >
                std::hypot(candidates[next].lab.a, candidates[next].lab.b))
                next = i;
        while (!candidates.empty()) {
            const SCandidate pick = candidates[next];
            chosen.push_back(pick.colour);
            double farthest = -1;
            for (auto& candidate : candidates) {
                candidate.nearest = std::min(candidate.nearest, DeltaE2000(candidate.lab, pick.lab));
                if (candidate.nearest > farthest) {
                    farthest = candidate.nearest;
                    next = size_t(&candidate - candidates.data());
                }
            }
            if (farthest < kBaseSpacing) break;
        }
        return chosen;
    }();
    return bases;
}

SLab LabOf(const SColour& colour, bool cmyk) {
    const SColour rgb = cmyk ? SrgbFromInks(colour) : colour;
    return LabFromSrgb(rgb.v[0], rgb.v[1], rgb.v[2]);
}

namespace {

// The choice of colours for the regions without one, region by region, most
// neighbours first: the least used choice that stands far enough from every
// neighbour already coloured, else the farthest there is.
class CColourChooser {
public:
    explicit CColourChooser(SColourRequest& request)
        : request_(request),
          count_(request.regionCount),
          automatic_(request.palette.empty()),
          choices_(automatic_ ? BaseColours() : request.palette),
          steps_(Variations().steps) {
        neighbours_.resize(count_);
        for (const SRegionEdge& edge : request.edges) {
            if (edge.a >= count_ || edge.b >= count_) continue;
            neighbours_[edge.a].push_back(edge.b);
            neighbours_[edge.b].push_back(edge.a);
        }
        labs_.resize(count_);
        done_ = request.fixed;
        done_.resize(count_, false);
        request.colours.resize(count_);
        for (uint32_t r = 0; r < count_; ++r)
            if (done_[r]) {
                labs_[r] = LabOf(request.colours[r], request.cmyk);
                used_.insert(Key(request.colours[r]));
            }
        cursor_.assign(choices_.size(), 0);
        useCount_.assign(choices_.size(), 0);
        // Least used first, the earlier on a tie: kept in order as counts
        // change, rather than sorted again for every region.
        for (size_t i = 0; i < choices_.size(); ++i) byUse_.insert({0, i});
    }

    void Run() {
        std::vector<uint32_t> order;
        for (uint32_t r = 0; r < count_; ++r)
            if (!done_[r]) order.push_back(r);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
            return neighbours_[x].size() > neighbours_[y].size();
        });
        for (const uint32_t r : order) Place(r);
    }

private:
    // The next colour of a choice that no region has yet, in the flats'
    // model; false when its variations have run out.
    bool Variation(size_t choice, SColour& colour, size_t& at) const {
        if (!automatic_) {
            colour = choices_[choice];
            return true;
        }
        for (at = cursor_[choice]; at < steps_.size(); ++at) {
            const int r = choices_[choice].v[0] + steps_[at][0];
            const int g = choices_[choice].v[1] + steps_[at][1];
            const int b = choices_[choice].v[2] + steps_[at][2];
            if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) continue;
            if (!InPrintGamut(uint8_t(r), uint8_t(g), uint8_t(b))) continue;
            const SColour rgb{{uint8_t(r), uint8_t(g), uint8_t(b), 0}};
            colour = request_.cmyk ? InksFromSrgb(rgb) : rgb;
            if (used_.count(Key(colour))) continue;
            return true;
        }
        return false;
    }

    double NearestNeighbour(uint32_t r, const SLab& lab) const {
        if (request_.done) request_.done(1 + neighbours_[r].size());
        double nearest = 1e9;
        for (const uint32_t n : neighbours_[r])
            if (done_[n]) nearest = std::min(nearest, DeltaE2000(lab, labs_[n]));
        return nearest;
    }

    void Use(uint32_t r, size_t choice, const SColour& colour) {
        request_.colours[r] = colour;
        labs_[r] = LabOf(colour, request_.cmyk);
        byUse_.erase({useCount_[choice], choice});
        byUse_.insert({++useCount_[choice], choice});
        used_.insert(Key(colour));
        done_[r] = true;
    }

    void Place(uint32_t r) {
        double bestDistance = -1;
        size_t best = 0;
        for (const auto& [uses, choice] : byUse_) {
            SColour colour;
            size_t at = 0;
            if (!Variation(choice, colour, at)) continue;
            const double nearest = NearestNeighbour(r, LabOf(colour, request_.cmyk));
            if (nearest >= kMinTouchingDeltaE) {
                cursor_[choice] = automatic_ ? at + 1 : 0;
                Use(r, choice, colour);
                return;
            }
            if (nearest > bestDistance) {
                bestDistance = nearest;
                best = choice;
            }
        }
        // Too many neighbours (or too short a palette) for the minimum: the
        // farthest colour there is, or, with every variation used, a base
        // colour itself.
        SColour colour;
        size_t at = 0;
        if (Variation(best, colour, at)) {
            cursor_[best] = automatic_ ? at + 1 : 0;
        } else {
            colour = request_.cmyk && automatic_ ? InksFromSrgb(choices_[best]) : choices_[best];
        }
        Use(r, best, colour);
    }

    SColourRequest& request_;
    const uint32_t count_;
    const bool automatic_;
    const std::vector<SColour>& choices_;
    const std::vector<std::array<int8_t, 3>>& steps_;
    std::vector<std::vector<uint32_t>> neighbours_;
    std::vector<SLab> labs_;
    std::vector<bool> done_;
    std::unordered_set<uint32_t> used_;
    std::vector<uint64_t> useCount_;
    std::vector<size_t> cursor_;
    std::set<std::pair<uint64_t, size_t>> byUse_;
};

}  // namespace

void AssignColours(SColourRequest& request) { CColourChooser(request).Run(); }

}  // namespace autoflat
