// Windows hosts make these handles from global memory: each block is a
// locked moveable allocation, and its address leads back to it.
#include <windows.h>

#include "sim/PlatformBlocks.h"

namespace sim {

char* NewPlatformBlock(std::size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
    if (!block) return nullptr;
    void* address = GlobalLock(block);
    if (!address) GlobalFree(block);
    return static_cast<char*>(address);
}

void FreePlatformBlock(void* block) {
    if (!block) return;
    HGLOBAL handle = GlobalHandle(block);
    if (!handle) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
}

}  // namespace sim
