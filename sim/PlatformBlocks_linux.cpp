// Without Windows' global memory the blocks come from malloc, which is what
// the plug-in's Linux build frees them with.
#include <cstdlib>

#include "sim/PlatformBlocks.h"

namespace sim {

char* NewPlatformBlock(std::size_t size) { return static_cast<char*>(std::calloc(1, size ? size : 1)); }

void FreePlatformBlock(void* block) { std::free(block); }

}  // namespace sim
