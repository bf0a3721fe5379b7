// Vandrel Auto Flats' scripting exchange against a host whose read procs
// answer anything: any keys in any number, values refused, coerced or
// accepted, readers given or withheld. The record must end up holding the
// last value the host vouched for under each key, in range, the reader must
// be closed, and the writer must put exactly the record's three keys.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzHostTables.h"
#include "params/AutoFlatsStores.h"

namespace {

FuzzedDataProvider* gInput = nullptr;
const int kToken = 0x5eed;
bool gOpen = false;
DescriptorKeyID gCurrent = 0;
// What the rules make of the values handed over so far; -1 for none.
int64_t gGap = -1, gMinRegion = -1, gRegions = -1;
std::vector<std::pair<DescriptorKeyID, int32_t>> gPuts;

OSErr AnyResult() { return fuzz_host::AnyAnswer(*gInput); }

using fuzz_host::Taken;

PIReadDescriptor OpenRead(PIDescriptorHandle, DescriptorKeyID* keys) {
    FUZZ_CHECK(keys && keys[0] == kKeyMaxGap, "the key list is not the filter's");
    if (gInput->ConsumeBool()) return nullptr;
    gOpen = true;
    return reinterpret_cast<PIReadDescriptor>(intptr_t(kToken));
}

OSErr CloseRead(PIReadDescriptor) {
    FUZZ_CHECK(gOpen, "closed a reader that is not open");
    gOpen = false;
    return AnyResult();
}

Boolean GetKey(PIReadDescriptor, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    FUZZ_CHECK(gOpen, "a key asked of a closed reader");
    if (gInput->remaining_bytes() == 0) return 1;  // a host that never runs out
    if (!gInput->ConsumeBool()) return 0;
    const DescriptorKeyID keys[] = {kKeyMaxGap, kKeyMinRegion, kKeySpotBlacksRegions, 0};
    gCurrent = keys[gInput->ConsumeIntegralInRange(0, 3)];
    *key = gCurrent;
    *type = gInput->ConsumeIntegral<uint32_t>();
    *flags = 0;
    return 1;
}

OSErr GetInteger(PIReadDescriptor, int32_t* value) {
    FUZZ_CHECK(gCurrent == kKeyMaxGap || gCurrent == kKeyMinRegion, "an integer asked of another key");
    const OSErr result = AnyResult();
    if (Taken(result)) {
        *value = gInput->ConsumeIntegral<int32_t>();
        const int64_t kept = std::max<int64_t>(*value, 0);
        if (gCurrent == kKeyMaxGap) gGap = std::min<int64_t>(kept, 0xFFFF);
        if (gCurrent == kKeyMinRegion) gMinRegion = kept;
    }
    return result;
}

OSErr GetBoolean(PIReadDescriptor, Boolean* value) {
    FUZZ_CHECK(gCurrent == kKeySpotBlacksRegions, "a boolean asked of another key");
    const OSErr result = AnyResult();
    if (Taken(result)) {
        *value = gInput->ConsumeIntegral<uint8_t>();
        gRegions = *value ? 1 : 0;
    }
    return result;
}

PIWriteDescriptor OpenWrite() { return reinterpret_cast<PIWriteDescriptor>(intptr_t(kToken)); }
OSErr CloseWrite(PIWriteDescriptor, PIDescriptorHandle* made) {
    *made = nullptr;
    return host::noErr;
}
OSErr PutInteger(PIWriteDescriptor, DescriptorKeyID key, int32_t value) {
    gPuts.emplace_back(key, value);
    return host::noErr;
}
OSErr PutBoolean(PIWriteDescriptor, DescriptorKeyID key, Boolean value) {
    gPuts.emplace_back(key, value);
    return host::noErr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    gInput = &in;
    gOpen = false;
    gGap = gMinRegion = gRegions = -1;
    gPuts.clear();

    ReadDescriptorProcs read = fuzz_host::ReadTable({OpenRead, CloseRead, GetKey, GetInteger, GetBoolean});
    WriteDescriptorProcs write = fuzz_host::WriteTable({OpenWrite, CloseWrite, PutInteger, PutBoolean});

    PIDescriptorParameters parameters{};
    parameters.descriptorParametersVersion = host::kCurrentDescriptorParametersVersion;
    parameters.playInfo = in.ConsumeIntegralInRange<int16_t>(0, 3);
    parameters.readDescriptorProcs = &read;
    parameters.writeDescriptorProcs = &write;
    FilterRecord record{};
    record.descriptorParameters = &parameters;

    CAutoFlatsParams params;
    params.maxGap = in.ConsumeIntegral<uint16_t>();
    params.minRegion = in.ConsumeIntegral<uint32_t>();
    params.spotBlacks = in.ConsumeBool() ? kSpotBlacksRegions : kSpotBlacksLines;
    const CAutoFlatsParams before = params;

    const bool dialog = ReadAutoFlatsScript(record, params);
    FUZZ_CHECK(!gOpen, "the reader was left open");
    FUZZ_CHECK(dialog == (parameters.playInfo == host::plugInDialogDisplay), "the dialog rule was not kept");
    FUZZ_CHECK(params.maxGap == (gGap >= 0 ? gGap : before.maxGap),
               "the gap is not the last one vouched for");
    FUZZ_CHECK(params.minRegion == (gMinRegion >= 0 ? uint32_t(gMinRegion) : before.minRegion),
               "the smallest region is not the last one vouched for");
    FUZZ_CHECK(
        params.SpotBlacksAreRegions() == (gRegions >= 0 ? gRegions == 1 : before.SpotBlacksAreRegions()),
        "spot blacks are not the last value vouched for");
    FUZZ_CHECK(params.IsValid(), "the record is no longer valid");

    WriteAutoFlatsScript(record, params);
    const std::vector<std::pair<DescriptorKeyID, int32_t>> expected = {
        {kKeyMaxGap, params.maxGap},
        {kKeyMinRegion, int32_t(std::min<uint32_t>(params.minRegion, 0x7FFFFFFF))},
        {kKeySpotBlacksRegions, params.SpotBlacksAreRegions() ? 1 : 0}};
    FUZZ_CHECK(gPuts == expected, "the written keys are not the record's three");
    gInput = nullptr;
    return 0;
}
