#include "params/HandleParams.h"

#include "params/HandleBlock.h"

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
    return LoadHandleRecord(record, kParamsBlockSize, DecodeParamsBlock, params);
}

void StoreHandleParams(FilterRecord& record, const _SVandrelParams& params) {
    StoreHandleRecord(record, kParamsBlockSize, EncodeParamsBlock, params);
}
