// Facts about the rings of the search order that several pieces of the fast
// path stand on, each argued here once.
#pragma once

#include <cstdint>

#include "engine/IntegerRoot.h"

// Ring a holds the groups with (a - 1)² < distSq <= a²: the ring of a
// distance² is the least a with a² >= distSq, and a distance rounded down
// is its ring only at a².
inline uint32_t RingOf(uint64_t distSq) {
    const uint32_t root = IntSqrt(distSq);
    return uint64_t(root) * root == distSq ? root : root + 1;
}
inline uint32_t RootInRing(uint64_t distSq, uint32_t ring) {
    return distSq == uint64_t(ring) * ring ? ring : ring - 1;
}

// The floors of r/√2 and k√2. Neither is ever whole for r, k > 0, and for
// whole n, |r/√2 - n| = |r²/2 - n²| / (r/√2 + n) >= 1 / (4r), and
// |k√2 - n| = |2k² - n²| / (k√2 + n) >= 1 / (3k + 1): above 1e-6 for every
// ring and margin there is (below 2^17), where a double's product is off
// by less than 1e-10. So the floor of the double is the exact floor.
//
// No group (k, b) of ring r has k above r/√2 (2k² <= k² + b² <= r²), and
// it is the b of the ring's diagonal group (b, b), where it has one.
inline uint32_t MaxKInRing(uint32_t ring) { return uint32_t(double(ring) * 0.70710678118654752); }
// The first ring that may hold a group with k beyond k: none below it has
// one, since (k + 1)√2 > k√2.
inline uint32_t FirstRingPastK(uint32_t k) { return uint32_t(double(k) * 1.4142135623730951) + 1; }

// Larger rings come first at a shared distance, except that the axis
// groups of rings 5 and 10 follow (3, 4) and (6, 8): at distances² 25 and
// 100, the first group is not the axis, and the axis group comes last.
inline bool AxisComesLast(uint64_t distSq) { return distSq == 25 || distSq == 100; }
