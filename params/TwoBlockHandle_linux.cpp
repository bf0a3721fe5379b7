// Without a host of its own on Linux, the only two-block handles are the
// host simulator's stand-ins for Windows global memory: both blocks come
// from malloc.
#include <cstdlib>

#include "params/HostHandles.h"

void FreeTwoBlockHandle(Handle handle) {
    if (!handle) return;
    std::free(*handle);
    std::free(handle);
}
