#include "autoflat/BackgroundRules.h"

#include <algorithm>

#include "autoflat/PageStages.h"
#include "autoflat/SmallRegions.h"

namespace autoflat {

namespace {

// Joins between the roots that the fold left, keeping a hinted root (or else
// the larger) as the root, and refusing to join two different hints.
class CJoins {
public:
    CJoins(SPageRun& run, const std::vector<uint64_t>& area)
        : run_(run), parent_(run.into), size_(area.size(), 0) {
        for (size_t label = 0; label < area.size(); ++label) size_[parent_[label]] += area[label];
    }

    uint32_t Root(uint32_t label) {
        while (parent_[label] != label) label = parent_[label] = parent_[parent_[label]];
        return label;
    }

    void Join(uint32_t a, uint32_t b) {
        a = Root(a);
        b = Root(b);
        if (a == b || a == kLine || b == kLine || a >= run_.firstSpot || b >= run_.firstSpot) return;
        const auto& ha = run_.hinted[a];
        const auto& hb = run_.hinted[b];
        if (ha.first && hb.first && !(ha.second == hb.second)) return;
        const bool keepA =
            ha.first || (!hb.first && (size_[a] > size_[b] || (size_[a] == size_[b] && a < b)));
        if (!keepA) std::swap(a, b);
        parent_[b] = a;
        size_[a] += size_[b];
    }

    void Finish() {
        for (size_t label = 0; label < parent_.size(); ++label) run_.into[label] = Root(uint32_t(label));
    }

private:
    SPageRun& run_;
    std::vector<uint32_t> parent_;
    std::vector<uint64_t> size_;
};

// Each label's borders with others, as (other, length).
using FNeighbours = std::vector<std::vector<std::pair<uint32_t, uint64_t>>>;

FNeighbours Neighbours(const std::vector<SBorder>& borders, uint32_t count) {
    FNeighbours near(count);
    for (const SBorder& border : borders) {
        if (border.a >= count || border.b >= count) continue;
        near[border.a].push_back({border.b, border.length});
        near[border.b].push_back({border.a, border.length});
    }
    return near;
}

// A region at least elongation / 2 times as large as the square of its
// deepest point's distance from the line art, with at most `neighbours`
// neighbours after the melt.
bool StripShaped(const SPageRun& run, const std::vector<uint64_t>& area, const FNeighbours& melted,
                 uint32_t label, uint64_t doubledElongation, size_t neighbours) {
    return run.reach[label] > 0 && 2 * area[label] >= doubledElongation * uint64_t(run.reach[label]) &&
           melted[label].size() <= neighbours;
}

void JoinAlongEdge(const SPageRun& run, CJoins& joins) {
    auto walk = [&](int64_t start, int64_t step, int64_t count) {
        uint32_t previous = kLine;
        for (int64_t k = 0; k < count; ++k) {
            const uint32_t label = run.labels[size_t(start + k * step)];
            const bool region = label != kLine && label < run.firstSpot;
            if (region && previous != kLine && previous != label) joins.Join(previous, label);
            previous = region ? label : kLine;
        }
    };
    const int64_t w = run.width, h = run.height;
    walk(0, 1, w);
    walk((h - 1) * w, 1, w);
    walk(0, w, h);
    walk(w - 1, w, h);
}

// Speed lines that a balloon, its tail or a figure crosses leave strips the
// ink encloses all round. Such a strip lies beside one of the burst's own
// strips along its long side, and both rest on the burst's frame: the
// gutter, which touches the page's edge and borders at least kTipsAround of
// the burst's strips (or the page's edge itself, where the panel bleeds).
// A part cut off at one end only is closed off at the other by the burst's
// tips instead. A striped sleeve's bands lie beside no burst, and the
// inside of a balloon or of its tail rests on no frame. Each joins the
// burst, and then the next beside it, run by run. Strips between unevenly
// spaced lines are wider for their length, and those beside a tail touch
// its pieces: beside a burst, half the elongation and twice the neighbours
// will do.
void JoinCutOffStrips(const SPageRun& run, const std::vector<bool>& strip, const std::vector<uint64_t>& area,
                      const FNeighbours& seams, const FNeighbours& melted,
                      const std::vector<uint32_t>& bursts, CJoins& joins) {
    const uint32_t count = run.firstSpot;
    std::vector<bool> burstRoot(count, false);
    for (const uint32_t burst : bursts) burstRoot[joins.Root(burst)] = true;
    std::vector<bool> stripLike(count, false), frame(count, false);
    for (uint32_t label = 1; label < count; ++label) {
        stripLike[label] = StripShaped(run, area, melted, label, kStripElongation, 2 * kStripNeighbours);
        uint32_t burstStrips = 0;
        for (const auto& neighbour : melted[label])
            burstStrips +=
                neighbour.first < count && strip[neighbour.first] && burstRoot[joins.Root(neighbour.first)];
        frame[label] =
            run.atEdge[label] && !strip[label] && !burstRoot[joins.Root(label)] && burstStrips >= kTipsAround;
    }
    // Cut off at one end only, the other closed off by the crowding tips.
    auto sealedByTips = [&](uint32_t label, uint32_t burst) {
        uint64_t seam = 0;
        for (const auto& [other, length] : seams[label])
            if (other < count && joins.Root(other) == burst) seam += length;
        return 2 * seam >= uint64_t(run.gap);
    };
    auto sameFrame = [&](uint32_t a, uint32_t b) {
        if (run.atEdge[a] && run.atEdge[b]) return true;  // a panel that bleeds: the page's edge
        for (const auto& [frameA, lengthA] : melted[a]) {
            if (frameA >= count || !frame[frameA]) continue;
            for (const auto& [frameB, lengthB] : melted[b])
                if (frameB == frameA) return true;
        }
        return false;
    };
    // A strip that joins makes the strips beside it worth another look:
    // each is looked at again only then, however long the run.
    std::vector<uint32_t> waiting;
    for (uint32_t label = count; label-- > 1;)
        if (stripLike[label] && !frame[label]) waiting.push_back(label);
    while (!waiting.empty() && !bursts.empty()) {
        const uint32_t label = waiting.back();
        waiting.pop_back();
        if (burstRoot[joins.Root(label)]) continue;
        uint64_t longest = 0;
        for (const auto& neighbour : melted[label]) longest = std::max(longest, neighbour.second);
        for (const auto& [other, length] : melted[label]) {
            if (other >= count || !stripLike[other] || 2 * length < longest ||
                !burstRoot[joins.Root(other)] ||
                !(sameFrame(label, other) || sealedByTips(label, joins.Root(other))))
                continue;
            joins.Join(label, other);
            if (joins.Root(label) != joins.Root(other)) continue;  // two hints of different colours
            burstRoot[joins.Root(label)] = true;
            for (const auto& [next, nextLength] : melted[label])
                if (next < count && stripLike[next] && !frame[next] && !burstRoot[joins.Root(next)])
                    waiting.push_back(next);
            break;
        }
    }
}

std::vector<bool> Strips(const SPageRun& run, const std::vector<uint64_t>& area, const FNeighbours& melted) {
    std::vector<bool> strip(run.firstSpot, false);
    for (uint32_t label = 1; label < run.firstSpot; ++label)
        strip[label] = StripShaped(run, area, melted, label, 2 * kStripElongation, kStripNeighbours);
    return strip;
}

void JoinStrips(const SPageRun& run, const std::vector<uint64_t>& area, const std::vector<bool>& strip,
                const FNeighbours& seams, const FNeighbours& melted, CJoins& joins) {
    const uint32_t count = run.firstSpot;
    // Each strip with the strips beside it along its long sides (borders at
    // least half its longest) that gap closing closed off against the same
    // region or against each other (lines whose tips crowd): bands that the
    // ink encloses all round, as a striped sleeve's, stay apart, and so do
    // strips on either side of a closed outline.
    auto closedAlike = [&](uint32_t a, uint32_t b) {
        for (const auto& seamA : seams[a]) {
            if (seamA.first == b) return true;
            for (const auto& seamB : seams[b])
                if (seamB.first == seamA.first) return true;
        }
        return false;
    };
    for (uint32_t label = 1; label < count; ++label) {
        if (!strip[label]) continue;
        uint64_t longest = 0;
        for (const auto& neighbour : melted[label]) longest = std::max(longest, neighbour.second);
        for (const auto& [other, length] : melted[label])
            if (other < count && strip[other] && 2 * length >= longest && closedAlike(label, other))
                joins.Join(label, other);
    }
    // What the strips' crowding tips closed off: most of its border with
    // strips, and seams of half a gap and more (a tip's share) with them.
    std::vector<uint32_t> bursts;
    for (uint32_t label = 1; label < count; ++label) {
        if (strip[label] || seams[label].empty()) continue;
        uint64_t border = 0, stripBorder = 0;
        for (const auto& [other, length] : melted[label]) {
            border += length;
            if (other < count && strip[other]) stripBorder += length;
        }
        uint32_t tips = 0;  // strips it is closed off against: a burst's, not a cut line's one or two
        for (const auto& seam : seams[label]) tips += seam.first < count && strip[seam.first];
        if (4 * stripBorder < 3 * border || tips < kTipsAround) continue;
        // Runs of strips that meet here are one: their tips close it off.
        std::vector<std::pair<uint32_t, uint64_t>> seamTo;
        for (const auto& [other, length] : seams[label])
            if (other < count && strip[other]) seamTo.push_back({joins.Root(other), length});
        std::sort(seamTo.begin(), seamTo.end());
        for (size_t i = 0; i < seamTo.size();) {
            uint64_t seam = 0;
            size_t j = i;
            for (; j < seamTo.size() && seamTo[j].first == seamTo[i].first; ++j) seam += seamTo[j].second;
            if (2 * seam >= uint64_t(run.gap)) joins.Join(label, seamTo[i].first);
            i = j;
        }
        bursts.push_back(label);
    }
    JoinCutOffStrips(run, strip, area, seams, melted, bursts, joins);
}

void FoldCounters(const SPageRun& run, const std::vector<uint64_t>& area, const std::vector<bool>& strip,
                  const FNeighbours& seams, const FNeighbours& melted, CJoins& joins) {
    const uint32_t count = run.firstSpot;
    std::vector<uint64_t> meltedArea(run.labelEnd, 0);
    for (const uint32_t value : run.distance)
        if (value < run.labelEnd) ++meltedArea[value];
    // Between the letters of two lines of lettering, paper that gap closing
    // parted from the balloon's own paper, and from nothing else, is a pocket:
    // a counter that must join that same region.
    std::vector<uint32_t> pocketOf(count, kLine);
    for (uint32_t label = 1; label < count; ++label) {
        uint32_t only = kLine;
        for (const auto& seam : seams[label]) {
            const uint32_t root = seam.first < count ? joins.Root(seam.first) : kLine;
            if (root == kLine || (only != kLine && root != only)) {
                only = kLine;
                break;
            }
            only = root;
        }
        pocketOf[label] = only;
    }
    std::vector<bool> counter(count, false);
    const uint64_t deepest = uint64_t(run.gap) * uint64_t(run.gap);
    for (uint32_t label = 1; label < count; ++label) {
        const uint64_t ink = meltedArea[label] > area[label] ? meltedArea[label] - area[label] : 0;
        const bool enclosed = seams[label].empty() || pocketOf[label] != kLine;
        counter[label] = enclosed && !run.atEdge[label] && !run.hinted[label].first &&
                         run.reach[label] <= deepest && area[label] <= kCounterInk * ink &&
                         area[label] < kStripElongation * uint64_t(run.reach[label]);
    }
    std::vector<uint32_t> around(count, kLine);
    std::vector<uint32_t> letters(count, 0);
    for (uint32_t label = 1; label < count; ++label) {
        if (!counter[label]) continue;
        uint32_t only = kLine;
        bool one = true;
        for (const auto& [other, length] : melted[label]) {
            if (other < count && counter[other]) continue;
            // Paper beside a strip lies among speed lines or hatching, not letters.
            if (other < count && strip[other]) one = false;
            const uint32_t root = joins.Root(other);
            if (only != kLine && root != only) one = false;
            only = root;
        }
        // A spot black around holes is no balloon.
        if (!one || only == kLine || only >= count || only == joins.Root(label)) continue;
        if (pocketOf[label] != kLine && pocketOf[label] != only) continue;
        around[label] = only;
        ++letters[only];
    }
    for (uint32_t label = 1; label < count; ++label)
        if (around[label] != kLine && letters[around[label]] >= kLettersAround)
            joins.Join(label, around[label]);
}

}  // namespace

void JoinBackground(SPageRun& run, const std::vector<uint64_t>& area) {
    const SAutoFlatSettings& settings = run.settings;
    if (settings.pageEdgeIsLine && !settings.joinStrips && !settings.foldCounters) return;
    CJoins joins(run, area);
    if (!settings.pageEdgeIsLine) JoinAlongEdge(run, joins);
    if (settings.joinStrips || settings.foldCounters) {
        // Seams: borders between regions where no line art parts them.
        std::vector<SBorder> open = Borders(run.labels.data(), run.width, run.height, 1, run.workers);
        const FNeighbours seams = Neighbours(open, run.firstSpot);
        open = {};
        const FNeighbours melted = Neighbours(run.borders, run.labelEnd);
        const std::vector<bool> strip = Strips(run, area, melted);
        if (settings.joinStrips) JoinStrips(run, area, strip, seams, melted, joins);
        if (settings.foldCounters) FoldCounters(run, area, strip, seams, melted, joins);
    }
    joins.Finish();
}

}  // namespace autoflat
