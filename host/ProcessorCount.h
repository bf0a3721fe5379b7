#pragma once

#include <cstdint>

// Logical processors the system reports; 8 when it reports none. Held in a
// signed 8-bit count, so larger machines are capped at 127 workers.
// VANDREL_PROCESSORS overrides the count (tests and diagnostics).
int8_t ProcessorCount();
