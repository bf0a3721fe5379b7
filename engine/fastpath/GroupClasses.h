// Which offsets of a group lie inside the image depends only on how the
// group's k and b compare with the pixel's four margins, so the groups of a
// ring fall into a few classes: at most five ranges of k by five of b, and
// the ring's two groups of four offsets. Across many rings the classes
// present stay the same, changing only where a ring first or last meets one,
// which lets a scan that cannot give up in any of them step over those rings
// whole instead of group by group.
#pragma once

#include <bit>
#include <cstdint>

#include "engine/OffsetOrder.h"

// Sides of the image as seen from the pixel, the order the margins are given in.
enum ESide { kRight, kTop, kLeft, kBottom };

// How far each edge of the image lies from the pixel (x, y), by side.
inline void MarginsOf(int32_t x, int32_t y, int32_t width, int32_t height, int64_t (&margin)[4]) {
    margin[kRight] = int64_t(width) - 1 - x;
    margin[kTop] = y;
    margin[kLeft] = x;
    margin[kBottom] = int64_t(height) - 1 - y;
}

// Pairings of a side with the edge next to it: among consecutive groups
// (k, b) that all have b within the first side's margin and k within the
// second's, no eight offsets in a row lie outside the image (the argument
// is rule 3 at the top of FastPathStrips.h). Bottom with left is not one.
inline constexpr int kEdgePairings[7][2] = {{kRight, kBottom}, {kRight, kTop}, {kTop, kRight},
                                            {kTop, kLeft},     {kLeft, kTop},  {kLeft, kBottom},
                                            {kBottom, kRight}};

namespace group_classes {

// Bit s: the coordinate lies within margin s.
inline uint32_t WithinBits(int64_t v, const int64_t (&margin)[4]) {
    return uint32_t(v <= margin[kRight]) | uint32_t(v <= margin[kTop]) << 1 |
           uint32_t(v <= margin[kLeft]) << 2 | uint32_t(v <= margin[kBottom]) << 3;
}

constexpr uint32_t Bit(uint32_t bits, ESide side) { return (bits >> side) & 1; }

// The inside mask of a group of eight from the sides its k and b lie within.
constexpr uint32_t EightMask(uint32_t k, uint32_t b) {
    const uint32_t kR = Bit(k, kRight), kT = Bit(k, kTop), kL = Bit(k, kLeft), kB = Bit(k, kBottom);
    const uint32_t bR = Bit(b, kRight), bT = Bit(b, kTop), bL = Bit(b, kLeft), bB = Bit(b, kBottom);
    return (kR & bB) | (bR & kB) << 1 | (bR & kT) << 2 | (kR & bT) << 3 | (kL & bT) << 4 | (bL & kT) << 5 |
           (bL & kB) << 6 | (kL & bB) << 7;
}

struct SEightMasks {
    uint8_t mask[16][16] = {};
    constexpr SEightMasks() {
        for (uint32_t k = 0; k < 16; ++k)
            for (uint32_t b = 0; b < 16; ++b) mask[k][b] = uint8_t(EightMask(k, b));
    }
};
inline constexpr SEightMasks kEightMasks;

inline uint32_t MaskOf(int64_t k, int64_t b, const int64_t (&margin)[4], int& count) {
    const uint32_t bBits = WithinBits(b, margin);
    if (k == 0) {
        count = 4;
        return Bit(bBits, kBottom) | Bit(bBits, kRight) << 1 | Bit(bBits, kTop) << 2 | Bit(bBits, kLeft) << 3;
    }
    if (k == b) {
        count = 4;
        const uint32_t bR = Bit(bBits, kRight), bT = Bit(bBits, kTop), bL = Bit(bBits, kLeft),
                       bB = Bit(bBits, kBottom);
        return (bR & bB) | (bR & bT) << 1 | (bL & bT) << 2 | (bL & bB) << 3;
    }
    count = 8;
    return kEightMasks.mask[WithinBits(k, margin)][bBits];
}

}  // namespace group_classes

// Which of the group's offsets lie inside the image, bit i for the i-th in
// search order (GroupOffsets), given the margins right, top, left, bottom.
inline uint32_t InsideMask(const SOffsetGroup& g, const int64_t (&margin)[4], int& count) {
    return group_classes::MaskOf(g.k, g.b, margin, count);
}

// How a group of one class begins and ends: offsets outside the image before
// its first inside one, and after its last. A group with none inside has
// both at its count.
struct SGroupEnds {
    uint8_t head = 0, tail = 0;
    bool empty = false;
};
inline SGroupEnds GroupEnds(uint32_t mask, int count) {
    SGroupEnds ends;
    if (!mask) {
        ends.head = ends.tail = uint8_t(count);
        ends.empty = true;
        return ends;
    }
    ends.head = uint8_t(std::countr_zero(mask));
    ends.tail = uint8_t(count - 1 - (31 - std::countl_zero(mask)));
    return ends;
}

// The ends of the group (k, b) for a pixel with these margins.
inline SGroupEnds EndsOf(int64_t k, int64_t b, const int64_t (&margin)[4]) {
    int count = 0;
    const uint32_t mask = group_classes::MaskOf(k, b, margin, count);
    return GroupEnds(mask, count);
}
inline SGroupEnds EndsOf(const SOffsetGroup& g, const int64_t (&margin)[4]) {
    return EndsOf(g.k, g.b, margin);
}

// What the classes present in a span of rings allow: rings whose groups of
// eight fall in the same classes.
struct SRingSpan {
    uint32_t end = 0;       // the first ring past the span
    bool anyEmpty = false;  // a class of eight offsets lies wholly outside
    uint8_t head = 0;       // the most offsets outside before the first inside, groups of eight
    uint8_t tail = 0;       // likewise after the last inside
    SGroupEnds axis;        // the ring's group (0, ring): four offsets
    SGroupEnds diagonal;    // its group (b, b) if it has one
};

class CGroupClasses {
public:
    // margin: right, top, left, bottom, each at least 0. Only the rings
    // firstRing .. lastRing (firstRing >= 1) are asked about.
    CGroupClasses(const int64_t (&margin)[4], uint32_t firstRing, uint32_t lastRing);
    SRingSpan SpanAt(uint32_t ring) const;

private:
    struct SClass {
        // The least and the greatest distance² of its groups: it is present
        // in the rings from the one holding the first to the one holding
        // the second.
        uint64_t nearSq, farSq;
        SGroupEnds ends;
    };
    int64_t margin_[4];
    int64_t cuts_[4];  // distinct margins, ascending
    int cutCount_ = 0;
    SClass classes_[15];
    int classCount_ = 0;
};
