// The CRC-32 that zip archives and PNG chunks carry, computed here so that
// the writers need no zlib where there is none (the page's WebAssembly).
#pragma once

#include <cstddef>
#include <cstdint>

namespace layered {

// Continues `crc` (0 to start) over `size` bytes.
uint32_t Crc32(uint32_t crc, const void* bytes, size_t size);

}  // namespace layered
