// The parameters handle as hosts hand it back: a block of any length and
// content, under handle procs of any version and completeness, some of
// which fail. The plug-in must read and write only inside the block, and
// take or leave the record exactly as the rules say.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "params/HandleParams.h"

namespace {

// Each block is exactly as long as the host says, so AddressSanitizer sees
// any access past its end.
std::map<Handle, size_t> gBlocks;
FuzzedDataProvider* gInput = nullptr;

Handle MakeBlock(size_t size, const uint8_t* bytes) {
    char* block = static_cast<char*>(std::malloc(size ? size : 1));
    if (size && bytes) std::memcpy(block, bytes, size);
    Handle handle = static_cast<Handle>(std::malloc(sizeof(char*)));
    *handle = block;
    gBlocks[handle] = size;
    return handle;
}

void FreeBlock(Handle handle) {
    FUZZ_CHECK(gBlocks.count(handle), "a handle the host never made was given back");
    std::free(*handle);
    std::free(handle);
    gBlocks.erase(handle);
}

Handle HostNew(int32_t size) {
    if (size < 0 || gInput->ConsumeBool()) return nullptr;  // out of memory
    return MakeBlock(size_t(size), nullptr);
}

void HostDispose(Handle handle) { FreeBlock(handle); }

int32_t HostGetSize(Handle handle) {
    FUZZ_CHECK(gBlocks.count(handle), "the size of a handle the host never made was asked");
    return int32_t(gBlocks[handle]);
}

OSErr HostSetSize(Handle handle, int32_t size) {
    FUZZ_CHECK(gBlocks.count(handle), "a handle the host never made was resized");
    if (size < 0 || gInput->ConsumeBool()) return host::memFullErr;
    char* block = static_cast<char*>(std::malloc(size ? size_t(size) : 1));
    std::memcpy(block, *handle, std::min(size_t(size), gBlocks[handle]));
    std::free(*handle);
    *handle = block;
    gBlocks[handle] = size_t(size);
    return host::noErr;
}

Ptr HostLock(Handle handle, Boolean) { return *handle; }
void HostUnlock(Handle) {}
void HostRecoverSpace(int32_t) {}

// The record is packed: its handle is read by value, never bound to.
Handle ParametersOf(const FilterRecord& record) { return record.parameters; }

bool SameFields(const _SVandrelParams& a, const _SVandrelParams& b) {
    return a.signature == b.signature && a.version == b.version && a.maxDepth == b.maxDepth &&
           a.remainder == b.remainder;
}

CVandrelParams AnyRecord(FuzzedDataProvider& in) {
    CVandrelParams record;
    if (in.ConsumeBool()) {
        record.signature = in.ConsumeIntegral<uint32_t>();
        record.version = in.ConsumeIntegral<uint16_t>();
    }
    record.maxDepth = in.ConsumeIntegral<uint16_t>();
    record.remainder = in.ConsumeIntegral<char>();
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    gInput = &in;

    // The host's table: any version and count, each proc present or not.
    HandleProcs procs{};
    procs.handleProcsVersion = in.ConsumeIntegralInRange<int16_t>(-1, 2);
    procs.numHandleProcs = in.ConsumeIntegralInRange<int16_t>(0, 9);
    const uint8_t present = in.ConsumeIntegral<uint8_t>();
    procs.newProc = present & 1 ? HostNew : nullptr;
    procs.disposeProc = present & 2 ? HostDispose : nullptr;
    procs.getSizeProc = present & 4 ? HostGetSize : nullptr;
    procs.setSizeProc = present & 8 ? HostSetSize : nullptr;
    procs.lockProc = HostLock;
    procs.unlockProc = HostUnlock;
    procs.recoverSpaceProc = HostRecoverSpace;
    procs.disposeRegularHandleProc = HostDispose;
    const bool tableGiven = in.ConsumeBool();
    const bool sizeKnown = tableGiven && procs.numHandleProcs >= 3 && procs.getSizeProc;

    // The handle the host kept. A host that cannot tell a handle's size
    // hands back what was stored in it: a whole block at least.
    FilterRecord record{};
    record.handleProcs = tableGiven ? &procs : nullptr;
    if (in.ConsumeBool()) {
        size_t length = in.ConsumeIntegralInRange<size_t>(0, 24);
        if (!sizeKnown) length = std::max<size_t>(length, kParamsBlockSize);
        const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(length);
        std::vector<uint8_t> block(length, 0);
        std::copy(bytes.begin(), bytes.end(), block.begin());
        record.parameters = MakeBlock(length, block.data());
    }

    // Loading: a valid block is taken whole; anything else resets the
    // record, except that without a handle it is left as it was.
    const CVandrelParams before = AnyRecord(in);
    CVandrelParams loaded = before;
    const bool took = LoadHandleParams(record, loaded);
    if (!ParametersOf(record)) {
        FUZZ_CHECK(!took && SameFields(loaded, before), "no handle, yet the record changed");
    } else {
        _SVandrelParams expected{};
        const size_t length = gBlocks[ParametersOf(record)];
        const bool whole = length >= size_t(kParamsBlockSize);
        if (whole) DecodeParamsBlock(reinterpret_cast<const uint8_t*>(*ParametersOf(record)), expected);
        const bool valid = whole && expected.signature == kPluginCode && expected.version == kParamsVersion;
        FUZZ_CHECK(took == valid, "a block was taken or refused against the rule");
        if (valid)
            FUZZ_CHECK(SameFields(loaded, expected), "a valid block was not taken as it stands");
        else
            FUZZ_CHECK(SameFields(loaded, CVandrelParams()), "a refused block did not reset the record");
    }

    // Storing: the record lands in the first block of the handle, made or
    // resized by the host's procs when it offers them; a block the host
    // could not make long enough is left exactly as it was.
    const Handle kept = ParametersOf(record);
    const std::vector<char> keptBytes =
        kept ? std::vector<char>(*kept, *kept + gBlocks[kept]) : std::vector<char>();
    const CVandrelParams stored = AnyRecord(in);
    StoreHandleParams(record, stored);
    if (!tableGiven) {
        FUZZ_CHECK(ParametersOf(record) == kept, "a handle was made without the host's procs");
    } else if (kept) {
        FUZZ_CHECK(ParametersOf(record) == kept, "the host's handle was replaced");
    }
    if (ParametersOf(record)) {
        const size_t length = gBlocks[ParametersOf(record)];
        const bool written = tableGiven && (length >= size_t(kParamsBlockSize) || !sizeKnown);
        if (written) {
            _SVandrelParams back{};
            DecodeParamsBlock(reinterpret_cast<const uint8_t*>(*ParametersOf(record)), back);
            FUZZ_CHECK(SameFields(back, stored), "the handle does not hold the stored record");
        } else {
            FUZZ_CHECK(std::vector<char>(*ParametersOf(record), *ParametersOf(record) + length) == keptBytes,
                       "a block too short for the record was written");
        }
    }

    while (!gBlocks.empty()) FreeBlock(gBlocks.begin()->first);
    gInput = nullptr;
    return 0;
}
