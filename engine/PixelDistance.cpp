#include "engine/PixelDistance.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

uint32_t IntSqrt(uint64_t value) {
    auto root = uint64_t(std::sqrt(double(value)));
    while (root * root > value) --root;
    while ((root + 1) * (root + 1) <= value) ++root;
    return uint32_t(root);
}

// One group of entries that share a distance and a ring: the offsets
// (+-k, +-b) and (+-b, +-k) with 0 <= k <= b.
struct SGroup {
    uint32_t distSq;
    uint32_t rank;  // twice the ring, so the exceptions fit between rings
    int16_t k;
    int16_t b;
};

// Larger rings come first at a shared distance, except that the axis
// offsets of rings 5 and 10 follow the ring-4 and ring-8 offsets of the
// same distance (25 = 3² + 4², 100 = 6² + 8²). Those are the only rings
// the constructor builds whose axis distance is shared with a smaller ring,
// and the order is kept as the filter has always searched.
uint32_t Rank(int k, int b) {
    if (k == 0 && b == 5) return 2 * 4 - 1;
    if (k == 0 && b == 10) return 2 * 8 - 1;
    return 2 * uint32_t(b);
}

// Counter-clockwise on the screen (rows grow downwards), from straight down.
void AppendGroup(std::vector<_SPixelOffset>& offsets, const SGroup& g) {
    const int16_t k = g.k, b = g.b;
    auto put = [&](int16_t dx, int16_t dy) { offsets.push_back({g.distSq, dx, dy}); };
    if (k == 0) {
        put(0, b), put(b, 0), put(0, int16_t(-b)), put(int16_t(-b), 0);
    } else if (k == b) {
        put(b, b), put(b, int16_t(-b)), put(int16_t(-b), int16_t(-b)), put(int16_t(-b), b);
    } else {
        put(k, b), put(b, k), put(b, int16_t(-k)), put(k, int16_t(-b));
        put(int16_t(-k), int16_t(-b)), put(int16_t(-b), int16_t(-k)), put(int16_t(-b), k), put(int16_t(-k), b);
    }
}

}  // namespace

CPixelDistance::CPixelDistance() {
    for (int ring = 0; ring < kPrebuiltRings; ++ring) AddRing();
    cursor = offsets.size();
}

CPixelDistance::~CPixelDistance() = default;

void CPixelDistance::SetCentre(int32_t x, int32_t y, int32_t width, int32_t height) {
    minDx = -x;
    minDy = -y;
    maxDx = width - 1 - x;
    maxDy = height - 1 - y;
}

// Completes the table up to distance a = ringCount + 1: appends, in order,
// every offset with (a - 1)² < distSq <= a². They belong to ring a (its axis)
// and to the outer corners of smaller rings, which is why those corners need
// not be stored before. Strong guarantee: on failure nothing has changed.
void CPixelDistance::AddRing() {
    const uint32_t a = uint32_t(ringCount) + 1;
    const uint64_t above = uint64_t(a - 1) * (a - 1);
    const uint64_t upTo = uint64_t(a) * a;

    std::vector<SGroup> groups;
    size_t added = 0;
    // b is the ring of the group; its entries reach at most 2b².
    for (uint32_t b = a; b >= 1 && 2 * uint64_t(b) * b > above; --b) {
        const uint64_t bSq = uint64_t(b) * b;
        const uint32_t kFirst = bSq > above ? 0 : IntSqrt(above - bSq) + 1;
        const uint32_t kLast = std::min(b, IntSqrt(upTo - bSq));
        for (uint32_t k = kFirst; k <= kLast; ++k) {
            groups.push_back({uint32_t(k * k + bSq), Rank(int(k), int(b)), int16_t(k), int16_t(b)});
            added += (k == 0 || k == b) ? 4 : 8;
        }
    }
    std::sort(groups.begin(), groups.end(), [](const SGroup& l, const SGroup& r) {
        return l.distSq != r.distSq ? l.distSq < r.distSq : l.rank > r.rank;
    });

    const size_t needed = offsets.size() + added;
    if (needed > kMaxOffsetEntries) throw std::bad_alloc();
    if (offsets.capacity() < needed)
        offsets.reserve(std::max(needed, std::min(2 * offsets.capacity(), kMaxOffsetEntries)));
    for (const SGroup& g : groups) AppendGroup(offsets, g);

    ringCount = uint16_t(a);
    radiusSq = uint32_t(upTo);
}

// Whether an entry at this distance beyond radiusSq would already exist in a
// table of whole rings, i.e. as the corner offset of a ring <= ringCount.
bool CPixelDistance::OuterCornersReach(uint64_t distSq) const {
    for (uint64_t p = 1; p <= ringCount && p * p < distSq; ++p) {
        const uint64_t rest = distSq - p * p;
        const uint32_t q = IntSqrt(rest);
        if (uint64_t(q) * q == rest && q <= ringCount) return true;
    }
    return false;
}

bool CPixelDistance::FirstCandidate(uint32_t hint, int32_t& dx, int32_t& dy) {
    const uint64_t target = uint64_t(hint) * hint;
    cursor = 0;
    if (hint != 0 && target <= radiusSq) {
        auto first = std::lower_bound(offsets.begin(), offsets.end(), target,
                                      [](const _SPixelOffset& e, uint64_t d) { return e.distSq < d; });
        if (first != offsets.end() && first->distSq == target) cursor = size_t(first - offsets.begin());
    } else if (hint != 0 && OuterCornersReach(target)) {
        // Such an entry lies past radiusSq: the scan must grow (or stop)
        // before it takes anything, and growing resumes at the table's end.
        cursor = offsets.size();
    }
    return Scan(dx, dy);
}

bool CPixelDistance::NextCandidate(int32_t& dx, int32_t& dy) { return Scan(dx, dy); }

bool CPixelDistance::Scan(int32_t& dx, int32_t& dy) {
    int remaining = kMaxOutOfBounds;
    exhausted = false;
    for (;;) {
        if (cursor >= offsets.size()) {
            if (ringCount >= maxRings || ringCount >= imageRingLimit) {
                exhausted = true;
                return false;
            }
            const size_t resumeAt = offsets.size();
            AddRing();
            cursor = resumeAt;
        }
        const _SPixelOffset& entry = offsets[cursor++];
        if (minDx <= entry.dx && entry.dx <= maxDx && minDy <= entry.dy && entry.dy <= maxDy) {
            dx = entry.dx;
            dy = entry.dy;
            return true;
        }
        if (--remaining == 0) return false;
    }
}

// Why the limit max(width, height) + 1 cannot change a result. Let
// m = max(width, height). Every offset of a ring a >= m lies outside the
// image whatever the centre, since |dx| or |dy| = a > m - 1. The group of
// ring m with k = 1, (±1, ±m) and (±m, ±1), is eight such offsets that come
// together in the order (no larger ring reaches m² + 1), so a scan running
// through it gives up there. A caller that keeps the hint below the width
// starts every pixel's first scan below distance m, and each later scan
// starts right after an offset inside the image, so no scan starts inside
// or beyond that group: every scan has stopped, one way or another, by
// distance² m² + 1 (in a 1 x 1 image, within its first eight offsets).
// Reaching it needs ring m + 1 and never ring m + 2, so
// growth never meets this limit and every result, the choice between
// "exhausted" and "gave up at the border" included, is what it would be
// without it. One ring less would not do: a scan may reach the end of
// distance m² without stopping, and would then report "exhausted" where it
// should give up at the border.
void CPixelDistance::LimitGrowthToImage(int32_t width, int32_t height) {
    const int32_t limit = std::max(width, height) + 1;
    imageRingLimit = uint16_t(std::clamp(limit, 1, int32_t(UINT16_MAX)));
}
