#include "params/AutoFlatsStores.h"

#include <algorithm>
#include <istream>
#include <locale>
#include <ostream>

#include "params/HandleBlock.h"
#include "params/Prefs.h"
#include "params/ScriptParams.h"

namespace {

// A negative integer from a descriptor is no width or count.
uint32_t NonNegative(int32_t value) { return value < 0 ? 0u : uint32_t(value); }

}  // namespace

void EncodeAutoFlatsBlock(const _SAutoFlatsParams& params, uint8_t* block) {
    Put32(block + 0, params.signature);
    Put16(block + 4, params.version);
    Put16(block + 6, params.maxGap);
    Put32(block + 8, params.minRegion);
    block[12] = uint8_t(params.spotBlacks);
}

void DecodeAutoFlatsBlock(const uint8_t* block, _SAutoFlatsParams& params) {
    params.signature = Get32(block + 0);
    params.version = Get16(block + 4);
    params.maxGap = Get16(block + 6);
    params.minRegion = Get32(block + 8);
    params.spotBlacks = char(block[12]);
}

bool LoadAutoFlatsHandle(const FilterRecord& record, CAutoFlatsParams& params) {
    return LoadHandleRecord(record, kAutoFlatsBlockSize, DecodeAutoFlatsBlock, params);
}

void StoreAutoFlatsHandle(FilterRecord& record, const _SAutoFlatsParams& params) {
    StoreHandleRecord(record, kAutoFlatsBlockSize, EncodeAutoFlatsBlock, params);
}

bool ReadAutoFlatsScript(FilterRecord& record, CAutoFlatsParams& params) {
    DescriptorKeyID keys[] = {kKeyMaxGap, kKeyMinRegion, kKeySpotBlacksRegions, 0};
    return ReadScriptKeys(record, keys, [&](DescriptorKeyID key, const SScriptValues& values) {
        int32_t integer = 0;
        Boolean boolean = 0;
        if (key == kKeyMaxGap) {
            if (values.integer(integer))
                params.maxGap = uint16_t(std::min<uint32_t>(NonNegative(integer), 0xFFFF));
        } else if (key == kKeyMinRegion) {
            if (values.integer(integer)) params.minRegion = NonNegative(integer);
        } else if (key == kKeySpotBlacksRegions) {
            if (values.boolean(boolean)) params.spotBlacks = boolean ? kSpotBlacksRegions : kSpotBlacksLines;
        }
    });
}

void WriteAutoFlatsScript(FilterRecord& record, const CAutoFlatsParams& params) {
    WriteScriptKeys(record, [&](const FPutInteger& putInteger, const FPutBoolean& putBoolean) {
        putInteger(kKeyMaxGap, int32_t(params.maxGap));
        putInteger(kKeyMinRegion, int32_t(std::min<uint32_t>(params.minRegion, 0x7FFFFFFF)));
        putBoolean(kKeySpotBlacksRegions, params.SpotBlacksAreRegions());
    });
}

void WriteAutoFlatsPrefs(std::ostream& out, const _SAutoFlatsParams& params) {
    out.imbue(std::locale::classic());
    out << params.signature << ' ' << params.version << ' ' << params.maxGap << ' ' << params.minRegion << ' '
        << params.spotBlacks << ' ';
}

void ReadAutoFlatsPrefs(std::istream& in, CAutoFlatsParams& params) {
    in.imbue(std::locale::classic());
    in >> params.signature >> params.version >> params.maxGap >> params.minRegion >> params.spotBlacks;
    if (!params.IsValid()) params.ResetParams();
}

void LoadAutoFlatsPrefsFile(CAutoFlatsParams& params) noexcept {
    LoadNamedPrefsFile(kAutoFlatsPrefsFileName, [&](std::istream& in) { ReadAutoFlatsPrefs(in, params); });
}

void SaveAutoFlatsPrefsFile(const _SAutoFlatsParams& params) noexcept {
    SaveNamedPrefsFile(kAutoFlatsPrefsFileName, [&](std::ostream& out) { WriteAutoFlatsPrefs(out, params); });
}
