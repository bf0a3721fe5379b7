#include "engine/fastpath/FastPathStrips.h"

#include <algorithm>
#include <new>
#include <span>

#include "engine/FlatStrip.h"
#include "engine/IntegerRoot.h"
#include "engine/fastpath/ScanShortcut.h"
#include "engine/StripOrder.h"

namespace {

// The transform of a strip costs about as much as scanning this many
// offsets per pixel of the strip; measured on the benchmark pages.
constexpr uint64_t kTransformCostPerPixel = 4;

// Distances up to 512 look their offset groups up in a table (about 1 MiB);
// deeper ones, rare, work them out.
constexpr uint64_t kSquareSumsLimit = 512 * 512;

// Offsets a scan walks from distance² `from` to `to`: the lattice points
// between the two circles, about pi times the difference.
uint64_t ScanCost(uint64_t from, uint64_t to) { return to > from ? 3 * (to - from) + 1 : 1; }

// The radius a scan covers before it reports too deep: growth stops at the
// depth or at the image's own limit, and never undoes the rings already
// there (the prebuilt ten, or more in a search that served a deeper pass).
uint32_t SearchReach(const CPixelDistance& search) {
    return std::max<uint32_t>(
        {kPrebuiltRings, search.ringCount, std::min(search.maxRings, search.imageRingLimit)});
}

}  // namespace

const scan_shortcut::CSquareSums& CSharedSquareSums::Get(uint32_t limit) {
    std::call_once(made_, [&] { sums_ = std::make_unique<scan_shortcut::CSquareSums>(limit); });
    return *sums_;
}

CFastPathStrips::CFastPathStrips(const SFlatImage& image, CPixelDistance& search, bool paintWhite,
                                 CSharedSquareSums* sharedSums)
    : image_(image),
      search_(search),
      paintWhite_(paintWhite),
      reach_(SearchReach(search)),
      distances_(image, reach_),
      sharedSums_(sharedSums) {
    if (!sharedSums_) {
        ownSums_ = std::make_unique<CSharedSquareSums>();
        sharedSums_ = ownSums_.get();
    }
}

// The colour's place in its ring for the pixels one and two ahead. Kept
// out of Shortcut, whose every call would otherwise pay for its registers.
void CFastPathStrips::PrefetchRings(int32_t x, int32_t y, int32_t step) {
    for (int32_t ahead = 1; ahead <= 2 && distances_.HasRow(y + ahead * step); ++ahead) {
        const uint32_t next = distances_.DistSq(x, y + ahead * step);
        if (next > 0 && next < distances_.Beyond()) replay_.Prefetch(next, ahead == 1);
    }
}

// The next pixel of the column usually takes its colour from the neighbour
// of this one's, a row further along: it is fetched early, as rows lie far
// apart in memory. Steps in locals: a byte store may alias anything, and
// would have them read again from memory for every plane.
void CFastPathStrips::TakeColour(int32_t x, int32_t y, int32_t step, int32_t dx, int32_t dy) {
    const SFlatImage& image = image_;
    const int32_t nextY = y + dy + step;
    if (nextY >= 0 && nextY < image.height) __builtin_prefetch(image.InPixel(x + dx, nextY));
    const uint8_t* from = image.InPixel(x + dx, y + dy);
    uint8_t* out = image.OutPixel(x, y);
    const int planes = image.planeCount;
    const std::ptrdiff_t inStep = image.inPlaneBytes, outStep = image.outPlaneBytes;
    for (int k = 0; k < planes; ++k) out[k * outStep] = from[k * inStep];
}

void CFastPathStrips::PaintWhite(int32_t x, int32_t y) {
    if (!paintWhite_) return;
    uint8_t* out = image_.OutPixel(x, y);
    for (int k = 0; k < image_.planeCount; ++k) out[k * std::ptrdiff_t(image_.outPlaneBytes)] = kWhiteByte;
}

bool CFastPathStrips::Shortcut(int32_t x, int32_t y, int32_t step, uint16_t& hintDistance, uint64_t& saved) {
    const uint32_t start = hintDistance > 1 ? hintDistance - 1u : hintDistance;
    const uint32_t distSq = distances_.DistSq(x, y);
    // Where the rings are many and large.
    if (distSq > kSquareSumsLimit && distSq < distances_.Beyond()) PrefetchRings(x, y, step);
    const SFlatImage& image = image_;
    // The shortcut asks only about pixels at this pixel's distance from its
    // nearest colour, which the column distances of its own row answer.
    // Two fields: it is made for every pixel, most of which never ask it.
    struct SOracle {
        CFastPathStrips& strips;
        int32_t y;
        bool ColumnMayHold(int32_t cx, uint32_t rows) const {
            return cx >= 0 && cx < strips.image_.width && strips.distances_.ColumnMayHold(cx, y, rows);
        }
        bool IsColour(int32_t cx, int32_t cy) { return strips.distances_.IsColourAt(cx, y, cy - y); }
        std::span<const SOffsetGroup> GroupsOf(uint64_t distSq) { return strips.replay_.GroupsAt(distSq); }
    } oracle{*this, y};
    const scan_shortcut::SOutcome outcome = scan_shortcut::Shortcut(x, y, image.width, image.height, start,
                                                                    distSq, reach_, oracle, sums_, lastSide_);
    // Near two opposite edges the distance alone does not tell whether the
    // scan gives up at the border first: the replay follows it there.
    if (outcome.outcome == scan_shortcut::EOutcome::Unproven)
        return Replay(x, y, step, start, distSq, hintDistance, saved);

    if (outcome.outcome == scan_shortcut::EOutcome::Found) {
        lastSide_ = outcome.side;
        TakeColour(x, y, step, outcome.dx, outcome.dy);
        saved += ScanCost(uint64_t(start) * start, distSq);
    } else {
        PaintWhite(x, y);
        saved += ScanCost(uint64_t(start) * start, uint64_t(reach_) * reach_);
    }
    hintDistance = uint16_t(outcome.hint);
    ++settledPixels_;
    return true;
}

bool CFastPathStrips::Replay(int32_t x, int32_t y, int32_t step, uint32_t start, uint32_t distSq,
                             uint16_t& hintDistance, uint64_t& saved) {
    struct SColours final : SReplayColours {
        CStripDistances& distances;
        int32_t x, y;
        SColours(CStripDistances& d, int32_t cx, int32_t cy) : distances(d), x(cx), y(cy) {}
        bool IsColour(int32_t dx, int32_t dy) override { return distances.IsColour(x + dx, y + dy); }
    } colours(distances_, x, y);
    const SReplayedScan scan =
        replay_.Replay(x, y, image_.width, image_.height, start, reach_, distSq, colours);
    if (scan.end == SReplayedScan::EEnd::Undecided) return false;

    // The colour found, or the last black pixel read before the scan gave up
    // at the border (the pixel itself when it read none).
    if (scan.end == SReplayedScan::EEnd::TooDeep)
        PaintWhite(x, y);
    else
        TakeColour(x, y, step, scan.dx, scan.dy);
    hintDistance = uint16_t(scan.hint);
    saved += ScanCost(uint64_t(start) * start, scan.lastDistSq);
    ++settledPixels_;
    ++replayedPixels_;
    return true;
}

// On a mostly black page one scan may walk every offset out to the border,
// far more than a whole strip's budget. Growth stops where the scan would
// pass what is left of it: a scan that ends sooner ends as it would anyway,
// having needed no ring beyond. One that runs into that limit has not
// finished: false, its hint as it was, and the pixel is the transform's.
bool CFastPathStrips::ScanWithinBudget(int32_t x, int32_t y, uint32_t start, uint64_t budgetLeft,
                                       uint16_t& hintDistance) {
    const uint32_t limit = std::min<uint32_t>(search_.maxRings, search_.imageRingLimit);
    const uint32_t probe = IntSqrt(uint64_t(start) * start + budgetLeft / 3) + 1;
    if (probe >= limit || search_.ringCount >= probe || noMemory_) {
        FlatPixel(x, y, image_, search_, paintWhite_, hintDistance);
        return true;
    }
    const uint16_t maxRings = search_.maxRings;
    const uint16_t hint = hintDistance;
    search_.maxRings = uint16_t(probe);
    FlatPixel(x, y, image_, search_, paintWhite_, hintDistance);
    search_.maxRings = maxRings;
    if (!search_.exhausted) return true;
    hintDistance = hint;
    return false;
}

bool CFastPathStrips::FlatStrip(int32_t firstRow, int32_t rows, CStripStop* stop) {
    if (rows <= 0) return true;
    // The transform pays off once the scans of a strip would cost more than
    // it does. It is made at the start of a strip that follows a deep one,
    // else at the point where the scans so far have cost that much; thin
    // line art never gets there.
    const uint64_t budget = uint64_t(rows) * image_.width * kTransformCostPerPixel;
    uint64_t spent = 0, saved = 0;
    bool transformed = false;
    auto transform = [&] {
        if (noMemory_) return;
        try {
            if (!sums_)
                sums_ = &sharedSums_->Get(
                    uint32_t(std::min<uint64_t>(uint64_t(reach_) * reach_, kSquareSumsLimit)));
            distances_.Compute(firstRow, rows);
        } catch (const std::bad_alloc&) {
            // The transform only saves time: without the memory for it (a
            // 32-bit host, a huge page) the band goes on with the search.
            noMemory_ = true;
            return;
        }
        transformed = true;
        ++transformedStrips_;
    };
    if (expectDeep_ || alwaysTransform_) transform();

    uint16_t hintDistance = 1;
    const bool whole =
        WalkStripPixels(firstRow, rows, image_.width, stop, [&](int32_t x, int32_t y, int32_t step) {
            const bool colour = transformed ? distances_.IsColour(x, y)
                                            : !IsBlackInline(image_.InPixel(x, y), image_.inPlaneBytes,
                                                             image_.planeCount, image_.isCmyk);
            if (colour) {
                hintDistance = 1;
                return;
            }
            if (transformed && Shortcut(x, y, step, hintDistance, saved)) return;

            // A shortcut may have left a hint beyond the rings this search
            // has grown so far; the scan must find that distance in its table,
            // as it would had it walked there itself.
            const uint32_t start = hintDistance > 1 ? hintDistance - 1u : hintDistance;
            while (search_.ringCount < start) search_.AddRing();
            if (transformed) {
                FlatPixel(x, y, image_, search_, paintWhite_, hintDistance);
            } else if (!ScanWithinBudget(x, y, start, budget > spent ? budget - spent : 0, hintDistance)) {
                transform();
                if (!transformed || !Shortcut(x, y, step, hintDistance, saved))
                    FlatPixel(x, y, image_, search_, paintWhite_, hintDistance);
                return;
            }

            if (!transformed && search_.LastTakenDistSq() > 0) {
                spent += ScanCost(uint64_t(start) * start, search_.LastTakenDistSq());
                if (spent > budget) transform();
            }
        });
    if (!whole) return false;
    expectDeep_ = spent + saved > budget;
    return true;
}
