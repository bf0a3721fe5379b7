#include "ui/HandleParams.h"

#include "ui/HostHandles.h"

namespace {

void Put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, uint16_t(value));
    Put16(at + 2, uint16_t(value >> 16));
}

uint16_t Get16(const uint8_t* at) { return uint16_t(at[0] | (at[1] << 8)); }

uint32_t Get32(const uint8_t* at) { return uint32_t(Get16(at)) | (uint32_t(Get16(at + 2)) << 16); }

// Slots beyond the count a host declares may hold anything.
bool Offers(const HandleProcs& procs, int slot, bool present) {
    return procs.numHandleProcs >= slot && present;
}

// A block too short for the record is never read or written past its end.
bool HoldsBlock(const HandleProcs* procs, Handle handle) {
    if (!handle || !*handle) return false;
    const auto size = HostHandleSize(procs, handle);
    return !size || *size >= kParamsBlockSize;
}

}  // namespace

void EncodeParamsBlock(const _SVandrelParams& params, uint8_t* block) {
    Put32(block + 0, params.signature);
    Put16(block + 4, params.version);
    Put16(block + 8, params.maxDepth);
    block[10] = uint8_t(params.remainder);
}

void DecodeParamsBlock(const uint8_t* block, _SVandrelParams& params) {
    params.signature = Get32(block + 0);
    params.version = Get16(block + 4);
    params.maxDepth = Get16(block + 8);
    params.remainder = char(block[10]);
}

bool LoadHandleParams(const FilterRecord& record, CVandrelParams& params) {
    if (!record.parameters) return false;
    // A block too short to hold a record is no more valid than a bad one.
    if (HoldsBlock(record.handleProcs, record.parameters)) {
        DecodeParamsBlock(reinterpret_cast<const uint8_t*>(*record.parameters), params);
        if (params.IsValid()) return true;
    }
    params.ResetParams();
    return false;
}

void StoreHandleParams(FilterRecord& record, const _SVandrelParams& params) {
    const HandleProcs* procs = record.handleProcs;
    // Without the table there is no way to make the handle, nor to know
    // how long a handle the host kept is.
    if (!procs) return;
    if (!record.parameters) {
        if (!Offers(*procs, 1, procs->newProc != nullptr)) return;
        record.parameters = procs->newProc(kParamsBlockSize);
    } else if (Offers(*procs, 4, procs->setSizeProc != nullptr)) {
        // A failed resize is caught below by the size check.
        procs->setSizeProc(record.parameters, kParamsBlockSize);
    }
    if (!HoldsBlock(procs, record.parameters)) return;
    EncodeParamsBlock(params, reinterpret_cast<uint8_t*>(*record.parameters));
}
