// The blocks of the two-block handles that hosts without handle procs hand
// out: a master block holding the address of a data block. They come from
// the platform's own allocator, because that is what the plug-in frees
// them with once they are its own.
#pragma once

#include <cstddef>

namespace sim {

// A zeroed block of at least one byte, or null when memory runs out.
char* NewPlatformBlock(std::size_t size);
// Frees a block of NewPlatformBlock; null is ignored.
void FreePlatformBlock(void* block);

}  // namespace sim
