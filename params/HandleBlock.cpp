#include "params/HandleBlock.h"

#include "params/HostHandles.h"

namespace {

// Slots beyond the count a host declares may hold anything.
bool Offers(const HandleProcs& procs, int slot, bool present) {
    return procs.numHandleProcs >= slot && present;
}

bool HoldsBlock(const HandleProcs* procs, Handle handle, int32_t size) {
    if (!handle || !*handle) return false;
    const auto held = HostHandleSize(procs, handle);
    return !held || *held >= size;
}

}  // namespace

const uint8_t* HandleBlock(const FilterRecord& record, int32_t size) {
    if (!HoldsBlock(record.handleProcs, record.parameters, size)) return nullptr;
    return reinterpret_cast<const uint8_t*>(*record.parameters);
}

uint8_t* MakeHandleBlock(FilterRecord& record, int32_t size) {
    const HandleProcs* procs = record.handleProcs;
    // Without the table there is no way to make the handle, nor to know
    // how long a handle the host kept is.
    if (!procs) return nullptr;
    if (!record.parameters) {
        if (!Offers(*procs, 1, procs->newProc != nullptr)) return nullptr;
        record.parameters = procs->newProc(size);
    } else if (Offers(*procs, 4, procs->setSizeProc != nullptr)) {
        // A failed resize is caught below by the size check.
        procs->setSizeProc(record.parameters, size);
    }
    if (!HoldsBlock(procs, record.parameters, size)) return nullptr;
    return reinterpret_cast<uint8_t*>(*record.parameters);
}
