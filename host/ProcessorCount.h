#pragma once

#include <cstdint>
#include <optional>

// Logical processors the system reports, or `forced` in its place; 8 when
// the count is 0. Held in a signed 8-bit count, so larger machines are
// capped at 127 workers.
int8_t ProcessorCount(std::optional<unsigned> forced = std::nullopt);
