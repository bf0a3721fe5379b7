// Hosts without handle procs hand out handles made from Windows global
// memory: the handle is the locked address of a master block that holds the
// locked address of the data block. Each address leads back to its block,
// which is unlocked and freed; the data block goes first because its
// address lives in the master block.
#include <windows.h>

#include "params/HostHandles.h"

namespace {

void UnlockAndFree(const void* address) {
    if (!address) return;
    HGLOBAL block = GlobalHandle(address);
    if (!block) return;
    GlobalUnlock(block);
    GlobalFree(block);
}

}  // namespace

void FreeTwoBlockHandle(Handle handle) {
    if (!handle) return;
    UnlockAndFree(*handle);
    UnlockAndFree(handle);
}
