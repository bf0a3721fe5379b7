// The parameter record in the host's parameters handle: how the values the
// user confirmed reach Start, and a repeated run of the filter.
#pragma once

#include <cstdint>

#include "hostapi/HostInterface.h"
#include "params/VandrelParams.h"

// The block, little-endian whatever the machine: signature at 0, version
// at 4, maxDepth at 8, remainder at 10; bytes 6, 7 and 11 are reserved and
// neither written nor read.
constexpr int32_t kParamsBlockSize = 12;

void EncodeParamsBlock(const _SVandrelParams& params, uint8_t* block);
void DecodeParamsBlock(const uint8_t* block, _SVandrelParams& params);

// Takes the handle's block into the record; true when there is a handle
// and the block holds a valid record. A block that is not valid (or too
// short to hold one) resets the record; without a handle it is unchanged.
bool LoadHandleParams(const FilterRecord& record, CVandrelParams& params);

// Makes the parameters handle one block long, creating it when there is
// none, and writes the record into it.
void StoreHandleParams(FilterRecord& record, const _SVandrelParams& params);
