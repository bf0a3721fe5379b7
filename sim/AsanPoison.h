// Marks host memory the plug-in must not touch, for AddressSanitizer.
//
// Guard bytes around what the host hands out catch stray writes in every
// build, but only once the call has returned, and never a stray read. Under
// AddressSanitizer the same bytes are poisoned as well, so any access, read
// or write, stops the program at the faulty instruction. In other builds
// these do nothing.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define VANDREL_SIM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANDREL_SIM_ASAN 1
#endif
#endif

#if defined(VANDREL_SIM_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace sim {

inline void PoisonBytes(const void* start, size_t size) {
#if defined(VANDREL_SIM_ASAN)
    if (start && size) __asan_poison_memory_region(start, size);
#else
    (void)start;
    (void)size;
#endif
}

// Poisoned memory must be made addressable again before the host itself
// writes, reuses or frees it.
inline void UnpoisonBytes(const void* start, size_t size) {
#if defined(VANDREL_SIM_ASAN)
    if (start && size) __asan_unpoison_memory_region(start, size);
#else
    (void)start;
    (void)size;
#endif
}

}  // namespace sim
