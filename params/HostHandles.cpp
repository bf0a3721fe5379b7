#include "params/HostHandles.h"

namespace {

// A table may declare fewer procs than the structure has room for; a slot
// beyond the declared count holds whatever the host left there.
bool Declares(const HandleProcs& procs, int slot) { return procs.numHandleProcs >= slot; }

}  // namespace

bool HandleProcsAvailable(const HandleProcs* handleProcs) {
    return handleProcs && handleProcs->handleProcsVersion == host::kCurrentHandleProcsVersion &&
           handleProcs->numHandleProcs >= host::kHandleProcsCount && handleProcs->newProc &&
           handleProcs->disposeProc && handleProcs->getSizeProc && handleProcs->setSizeProc;
}

void DisposeHostHandle(const HandleProcs* handleProcs, Handle handle) {
    if (!handle) return;
    if (HandleProcsAvailable(handleProcs))
        handleProcs->disposeProc(handle);
    else
        FreeTwoBlockHandle(handle);
}

std::optional<int32_t> HostHandleSize(const HandleProcs* handleProcs, Handle handle) {
    if (!handleProcs || !handle || !Declares(*handleProcs, 3) || !handleProcs->getSizeProc)
        return std::nullopt;
    return handleProcs->getSizeProc(handle);
}
