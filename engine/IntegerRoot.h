// The integer square root the search order and the shortcut both work in:
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
