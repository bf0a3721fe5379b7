// Each region draws its colour from a sequence of its own, seeded by where it
// begins, and takes the first one that no region has and that stands apart
// from its neighbours. Regions are taken in reading order of where they
// begin, so a region's colour depends on the regions before it only where
// they touch it or took the very colour it wanted: a hint or a revised
// stretch of line art recolours what it touches, not the page.
#include <algorithm>
#include <array>
#include <unordered_set>

#include "autoflat/AutoColours.h"

namespace autoflat {

namespace {

// How many colours of its sequence a region weighs before it settles for the
// one farthest from its neighbours.
constexpr uint32_t kProbes = 256;

// Variations of a distinct colour, nearest first, for pages with more
// regions than there are distinct colours: steps of one in each sRGB
// channel, out to this many.
constexpr int kVariationReach = 12;

uint64_t Mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

uint32_t Key(const SColour& c) {
    return uint32_t(c.v[0]) | uint32_t(c.v[1]) << 8 | uint32_t(c.v[2]) << 16 | uint32_t(c.v[3]) << 24;
}

const std::vector<std::array<int8_t, 3>>& VariationSteps() {
    static const std::vector<std::array<int8_t, 3>> steps = [] {
        std::vector<std::array<int8_t, 3>> all;
        for (int r = -kVariationReach; r <= kVariationReach; ++r)
            for (int g = -kVariationReach; g <= kVariationReach; ++g)
                for (int b = -kVariationReach; b <= kVariationReach; ++b)
                    all.push_back({int8_t(r), int8_t(g), int8_t(b)});
        std::stable_sort(all.begin(), all.end(), [](const auto& x, const auto& y) {
            return x[0] * x[0] + x[1] * x[1] + x[2] * x[2] < y[0] * y[0] + y[1] * y[1] + y[2] * y[2];
        });
        return all;
    }();
    return steps;
}

class CColourChooser {
public:
    explicit CColourChooser(SColourRequest& request)
        : request_(request),
          automatic_(request.palette.empty()),
          choices_(automatic_ ? DistinctColours() : request.palette),
          neighbours_(request.regionCount),
          labs_(request.regionCount),
          done_(request.fixed),
          taken_(choices_.size(), false),
          cursor_(choices_.size(), 0) {
        for (const SRegionEdge& edge : request.edges) {
            if (edge.a >= request.regionCount || edge.b >= request.regionCount) continue;
            neighbours_[edge.a].push_back(edge.b);
            neighbours_[edge.b].push_back(edge.a);
        }
        done_.resize(request.regionCount, false);
        request.colours.resize(request.regionCount);
        for (const SColour& c : choices_) choiceLabs_.push_back(LabOf(c, automatic_ ? false : request.cmyk));
        TakeFixedColours();
    }

    // Each region's first wish, from where it begins and nothing else. A
    // region that cannot have its wish takes a colour nobody wishes for and
    // keeps clear of the wishes of the neighbours after it, so that no other
    // region has to move in turn: a change moves the regions it touches.
    void Wish() {
        wish_.assign(request_.regionCount, 0);
        wished_.assign(choices_.size(), false);
        for (uint32_t region = 0; region < request_.regionCount; ++region) {
            wish_[region] = Probe(Seed(region), 0);
            wished_[wish_[region]] = true;
        }
    }

    // The work of the region just coloured, in colour distances weighed, at
    // least the eight a region is reckoned to take.
    uint64_t TakeWork() {
        const uint64_t work = std::max<uint64_t>(distances_, 8);
        distances_ = 0;
        return work;
    }

    void Choose(uint32_t region) {
        const size_t wish = wish_[region];
        SColour wished;
        if (Candidate(wish, wished) &&
            NearestNeighbour(region, LabOf(wished, request_.cmyk)) >= kMinTouchingDeltaE)
            return Take(region, wish, wished);
        const uint64_t seed = Seed(region);
        double bestDistance = -1;
        SColour best, firstFitting;
        size_t bestChoice = 0, firstFittingChoice = kNoWish;
        for (uint32_t probe = 0; probe < ProbeCount(); ++probe) {
            const size_t choice = Probe(seed, probe);
            SColour colour;
            if (!Candidate(choice, colour)) continue;
            const SLab lab = LabOf(colour, request_.cmyk);
            const double nearest = NearestNeighbour(region, lab);
            if (nearest >= kMinTouchingDeltaE) {
                if (ClearOfLaterWishes(region, choice, lab)) return Take(region, choice, colour);
                if (firstFittingChoice == kNoWish) firstFittingChoice = choice, firstFitting = colour;
            }
            if (nearest > bestDistance) bestDistance = nearest, best = colour, bestChoice = choice;
        }
        if (firstFittingChoice != kNoWish) return Take(region, firstFittingChoice, firstFitting);
        if (bestDistance < 0) bestChoice = FirstFree(seed, best);
        Take(region, bestChoice, best);
    }

private:
    static constexpr size_t kNoWish = ~size_t(0);

    uint64_t Seed(uint32_t region) const {
        return Mix(region < request_.anchors.size() ? request_.anchors[region] : region);
    }

    uint32_t ProbeCount() const { return uint32_t(std::min<size_t>(kProbes, choices_.size())); }

    // No colour another region wishes for, none too near the wish of a
    // neighbour still to come.
    bool ClearOfLaterWishes(uint32_t region, size_t choice, const SLab& lab) const {
        if (automatic_ && wished_[choice]) return false;
        for (const uint32_t n : neighbours_[region]) {
            if (done_[n]) continue;
            ++distances_;
            if (DeltaE2000(lab, LabOf(Converted(choices_[wish_[n]]), request_.cmyk)) < kMinTouchingDeltaE)
                return false;
        }
        return true;
    }

    // Every colour weighed is taken and the last few are somewhere: the first
    // free one, with no promise of distance left to keep.
    size_t FirstFree(uint64_t seed, SColour& colour) {
        const size_t start = size_t(seed % choices_.size());
        colour = Converted(choices_[start]);
        for (size_t i = 0; i < choices_.size(); ++i) {
            const size_t choice = (start + i) % choices_.size();
            if (Candidate(choice, colour)) return choice;
        }
        return start;
    }

    // A short palette is weighed whole, from a place of the region's own; a
    // long list in an order of the region's own, since neighbours in the
    // list are alike and the one after a refused colour is likely refused.
    size_t Probe(uint64_t seed, uint32_t probe) const {
        if (choices_.size() <= kProbes) return size_t((seed + probe) % choices_.size());
        return size_t(Mix(seed + probe) % choices_.size());
    }

    // Hints keep their colours, and the automatic colours too near one of
    // them are no longer on offer.
    void TakeFixedColours() {
        std::unordered_set<uint32_t> fixedKeys;
        for (uint32_t r = 0; r < request_.regionCount; ++r) {
            if (!done_[r]) continue;
            labs_[r] = LabOf(request_.colours[r], request_.cmyk);
            used_.insert(Key(request_.colours[r]));
            if (!automatic_ || !fixedKeys.insert(Key(request_.colours[r])).second) continue;
            for (size_t c = 0; c < choices_.size(); ++c)
                if (!taken_[c] && DeltaE2000(choiceLabs_[c], labs_[r]) < kMinDistinctDeltaE) Mark(c);
        }
    }

    void Mark(size_t choice) {
        taken_[choice] = true;
        ++takenCount_;
    }

    SColour Converted(const SColour& rgb) const {
        return request_.cmyk && automatic_ ? InksFromSrgb(rgb) : rgb;
    }

    // A palette's colours repeat; automatic ones are each given once, and
    // once all are given, their nearest unused variations.
    bool Candidate(size_t choice, SColour& colour) {
        if (!automatic_) {
            colour = choices_[choice];
            return true;
        }
        if (!taken_[choice]) {
            colour = Converted(choices_[choice]);
            return !used_.count(Key(colour));
        }
        if (takenCount_ < choices_.size()) return false;
        return Variation(choice, colour);
    }

    bool Variation(size_t choice, SColour& colour) {
        const auto& steps = VariationSteps();
        for (size_t& at = cursor_[choice]; at < steps.size(); ++at) {
            const int r = choices_[choice].v[0] + steps[at][0];
            const int g = choices_[choice].v[1] + steps[at][1];
            const int b = choices_[choice].v[2] + steps[at][2];
            if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) continue;
            if (!InPrintGamut(uint8_t(r), uint8_t(g), uint8_t(b))) continue;
            colour = Converted(SColour{{uint8_t(r), uint8_t(g), uint8_t(b), 0}});
            if (!used_.count(Key(colour))) return true;
        }
        return false;
    }

    double NearestNeighbour(uint32_t region, const SLab& lab) const {
        double nearest = 1e9;
        for (const uint32_t n : neighbours_[region])
            if (done_[n]) {
                nearest = std::min(nearest, DeltaE2000(lab, labs_[n]));
                ++distances_;
            }
        return nearest;
    }

    void Take(uint32_t region, size_t choice, const SColour& colour) {
        request_.colours[region] = colour;
        labs_[region] = LabOf(colour, request_.cmyk);
        done_[region] = true;
        if (!automatic_) return;
        used_.insert(Key(colour));
        if (!taken_[choice]) Mark(choice);
    }

    SColourRequest& request_;
    const bool automatic_;
    const std::vector<SColour>& choices_;
    std::vector<SLab> choiceLabs_;
    std::vector<std::vector<uint32_t>> neighbours_;
    std::vector<SLab> labs_;
    std::vector<bool> done_;
    std::vector<bool> taken_;
    size_t takenCount_ = 0;
    std::vector<size_t> cursor_;
    std::unordered_set<uint32_t> used_;
    mutable uint64_t distances_ = 0;
    std::vector<size_t> wish_;
    std::vector<bool> wished_;
};

}  // namespace

void AssignColours(SColourRequest& request) {
    if (request.regionCount == 0) return;
    if (request.palette.empty() && DistinctColours().empty()) return;
    std::vector<bool> fixed = request.fixed;
    fixed.resize(request.regionCount, false);
    CColourChooser chooser(request);
    chooser.Wish();
    for (uint32_t region = 0; region < request.regionCount; ++region) {
        if (!fixed[region]) chooser.Choose(region);
        if (request.done) request.done(chooser.TakeWork());
    }
}

}  // namespace autoflat
