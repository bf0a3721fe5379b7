// The run-length coding that Photoshop files (and TIFF's PackBits) use for
// each row of a channel: flat colour and line art shrink to a few bytes a
// run, and a row codes on its own, so rows stream as they are made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace layered {

// Appends the coded `size` bytes at `row` to `out`; returns the number of
// bytes appended, never more than size + (size + 127) / 128.
size_t PackBits(const uint8_t* row, size_t size, std::vector<uint8_t>& out);

}  // namespace layered
