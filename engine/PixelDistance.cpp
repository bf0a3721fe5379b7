#include "engine/PixelDistance.h"

#include <algorithm>
#include <cmath>

#include "engine/IntegerRoot.h"

CPixelDistance::CPixelDistance() : CPixelDistance(std::make_shared<COffsetTable>()) {}

CPixelDistance::CPixelDistance(std::shared_ptr<COffsetTable> table) : table_(std::move(table)) {
    for (int ring = 0; ring < kPrebuiltRings; ++ring) AddRing();
    PlaceInTable(table_->RingEnd(std::min<uint32_t>(ringCount, table_->RingBudget())));
}

CPixelDistance::~CPixelDistance() = default;

void CPixelDistance::SetCentre(int32_t x, int32_t y, int32_t width, int32_t height) {
    minDx = -x;
    minDy = -y;
    maxDx = width - 1 - x;
    maxDy = height - 1 - y;
}

// Takes in every offset with ringCount² < distSq <= (ringCount + 1)²: the
// axis of the next ring and the outer corners of smaller rings, which is why
// those corners need not be held before. Strong guarantee.
void CPixelDistance::AddRing() {
    const uint32_t a = uint32_t(ringCount) + 1;
    if (a <= table_->RingBudget()) table_->Grow(a);
    ringCount = uint16_t(a);
    radiusSq = a * a;
}

void CPixelDistance::PlaceInTable(uint64_t index) {
    inTable_ = true;
    const uint64_t limit = table_->RingEnd(std::min<uint32_t>(ringCount, table_->RingBudget()));
    if (index >= limit) {
        next_ = end_ = spanBegin_ = nullptr;
        endIndex_ = index;
        return;
    }
    endIndex_ = std::min(table_->ChunkEnd(index), limit);
    next_ = spanBegin_ = table_->Entry(index);
    end_ = next_ + (endIndex_ - index);
}

void CPixelDistance::PlaceInRing(uint32_t ring, size_t index) {
    inTable_ = false;
    endRing_ = ring;
    const std::vector<_SPixelOffset>& entries = RingEntries(ring);
    spanBegin_ = entries.data();
    next_ = spanBegin_ + index;
    end_ = spanBegin_ + entries.size();
}

const std::vector<_SPixelOffset>& CPixelDistance::RingEntries(uint32_t ring) {
    if (rings_[newerRing_].ring == ring) return *rings_[newerRing_].entries;
    const int older = 1 - newerRing_;
    if (rings_[older].ring != ring) {
        // The older ring is the one to let go: the scan has left it, while
        // the newer one is where the next pixel's search will likely start.
        SRing& slot = rings_[older];
        slot.entries = table_->StreamedRing(ring);
        slot.ring = ring;
    }
    newerRing_ = older;
    return *rings_[older].entries;
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
    PlaceAtHint(hint);
    return Scan(dx, dy);
}

void CPixelDistance::PlaceAtHint(uint32_t hint) {
    const uint64_t target = uint64_t(hint) * hint;
    lastTakenDistSq_ = 0;
    if (hint != 0 && target <= radiusSq) {
        // The axis offsets of ring `hint` have exactly this distance, and
        // the ring's last distance is it: the first of them lies in its ring.
        if (hint <= table_->RingBudget())
            PlaceInTable(table_->AxisStart(hint));
        else {
            const std::vector<_SPixelOffset>& entries = RingEntries(hint);
            auto first = std::lower_bound(entries.begin(), entries.end(), target,
                                          [](const _SPixelOffset& e, uint64_t d) { return e.distSq < d; });
            PlaceInRing(hint, size_t(first - entries.begin()));
        }
    } else if (hint != 0 && OuterCornersReach(target)) {
        // Such an entry lies past radiusSq: the scan must grow (or stop)
        // before it takes anything, and growing resumes at the radius.
        if (ringCount <= table_->RingBudget())
            PlaceInTable(table_->RingEnd(ringCount));
        else {
            inTable_ = false;
            endRing_ = ringCount;
            next_ = end_ = spanBegin_ = nullptr;
        }
    } else {
        PlaceInTable(0);
    }
}

bool CPixelDistance::NextCandidate(int32_t& dx, int32_t& dy) { return Scan(dx, dy); }

uint32_t CPixelDistance::LastTakenDistSq() const {
    return next_ && next_ > spanBegin_ ? next_[-1].distSq : lastTakenDistSq_;
}

// Moves the cursor to the entries after the current run, growing by a ring
// when the run ended at the radius; false when growth is not allowed.
bool CPixelDistance::NextSpan() {
    lastTakenDistSq_ = LastTakenDistSq();
    const uint32_t budget = table_->RingBudget();
    for (;;) {
        if (inTable_) {
            if (endIndex_ < table_->RingEnd(std::min<uint32_t>(ringCount, budget))) {
                PlaceInTable(endIndex_);
                return true;
            }
            if (ringCount > budget) {
                inTable_ = false;
                endRing_ = budget;
                continue;
            }
        } else if (endRing_ < ringCount) {
            PlaceInRing(endRing_ + 1, 0);
            return true;
        }
        if (ringCount >= maxRings || ringCount >= imageRingLimit) return false;
        AddRing();
    }
}

bool CPixelDistance::Scan(int32_t& dx, int32_t& dy) {
    int remaining = kMaxOutOfBounds;
    exhausted = false;
    for (;;) {
        if (next_ == end_ && !NextSpan()) {
            exhausted = true;
            return false;
        }
        const _SPixelOffset& entry = *next_++;
        if (minDx <= entry.dx && entry.dx <= maxDx && minDy <= entry.dy && entry.dy <= maxDy) {
            dx = entry.dx;
            dy = entry.dy;
            return true;
        }
        if (--remaining == 0) return false;
    }
}

std::vector<_SPixelOffset> CPixelDistance::Entries() const {
    const uint32_t inTable = std::min<uint32_t>(ringCount, table_->RingBudget());
    std::vector<_SPixelOffset> entries;
    for (uint64_t i = 0; i < table_->RingEnd(inTable); ++i) entries.push_back(*table_->Entry(i));
    for (uint32_t ring = inTable + 1; ring <= ringCount; ++ring)
        AppendOffsetsBetween(uint64_t(ring - 1) * (ring - 1), uint64_t(ring) * ring, entries);
    return entries;
}

size_t CPixelDistance::OwnBytes() const {
    size_t bytes = sizeof(*this);
    for (const SRing& r : rings_)
        if (r.entries) bytes += r.entries->capacity() * sizeof(_SPixelOffset);
    return bytes;
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
