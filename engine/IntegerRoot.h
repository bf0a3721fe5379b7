// The integer square root the search order and the fast path both work in:
// the largest r with r² <= value, exact for every 64-bit value.
#pragma once

#include <cmath>
#include <cstdint>

inline uint32_t IntSqrt(uint64_t value) {
    auto root = uint64_t(std::sqrt(double(value)));
    while (root * root > value) --root;
    while ((root + 1) * (root + 1) <= value) ++root;
    return uint32_t(root);
}

// The same from a nearby root: neighbouring pixels' distances differ by
// little, so the root found for the last one is usually right or one off.
inline uint32_t IntSqrtNear(uint64_t value, uint32_t guess) {
    uint64_t root = guess;
    if ((root + 2) * (root + 2) <= value || (root > 2 && (root - 2) * (root - 2) > value))
        return IntSqrt(value);
    while (root * root > value) --root;
    while ((root + 1) * (root + 1) <= value) ++root;
    return uint32_t(root);
}
