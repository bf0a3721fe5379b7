// A parameter record's block in the host's parameters handle, whichever
// filter's record it is: found, made and sized through the host's handle
// procs, and numbers stored little-endian whatever the machine.
#pragma once

#include <cstdint>

#include "hostapi/HostInterface.h"

// The block of the parameters handle when it holds at least `size` bytes;
// null when there is no handle or a shorter one, which is never read past
// its end.
const uint8_t* HandleBlock(const FilterRecord& record, int32_t size);

// Makes the parameters handle `size` bytes long, creating it when there is
// none; null when the host's procs cannot give a block that long.
uint8_t* MakeHandleBlock(FilterRecord& record, int32_t size);

// A filter's record in the handle's block, whichever filter's: the block
// decoded into `params` when it holds a valid record (true); an invalid or
// too short block resets the record, no handle leaves it as it was.
template <typename Params, typename Block>
bool LoadHandleRecord(const FilterRecord& record, int32_t size, void (*decode)(const uint8_t*, Block&),
                      Params& params) {
    if (!record.parameters) return false;
    if (const uint8_t* block = HandleBlock(record, size)) {
        decode(block, params);
        if (params.IsValid()) return true;
    }
    params.ResetParams();
    return false;
}

// The record encoded into the handle, made `size` bytes long.
template <typename Block>
void StoreHandleRecord(FilterRecord& record, int32_t size, void (*encode)(const Block&, uint8_t*),
                       const Block& params) {
    if (uint8_t* block = MakeHandleBlock(record, size)) encode(params, block);
}

inline void Put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

inline void Put32(uint8_t* at, uint32_t value) {
    Put16(at, uint16_t(value));
    Put16(at + 2, uint16_t(value >> 16));
}

inline uint16_t Get16(const uint8_t* at) { return uint16_t(at[0] | (at[1] << 8)); }

inline uint32_t Get32(const uint8_t* at) { return uint32_t(Get16(at)) | (uint32_t(Get16(at + 2)) << 16); }
