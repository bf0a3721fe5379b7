// The scripting exchange against a host whose descriptor procs answer
// anything: any keys of any type in any number, values refused, coerced or
// accepted, tokens and handles given or withheld, tables of any version.
// A model of the rules says what the record and the host's descriptor must
// be afterwards; every handle must be disposed exactly once, the right way.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzHostTables.h"
#include "params/HostHandles.h"
#include "params/ScriptParams.h"

namespace {

FuzzedDataProvider* gInput = nullptr;

// Host handles and platform (two-block, malloc) handles, tracked apart.
std::set<Handle> gHostHandles;
std::set<Handle> gPlatformHandles;

Handle MakeHandle(bool platform) {
    Handle handle = static_cast<Handle>(std::malloc(sizeof(char*)));
    *handle = static_cast<char*>(std::malloc(16));
    (platform ? gPlatformHandles : gHostHandles).insert(handle);
    return handle;
}

void ReleaseHandle(Handle handle) {
    std::free(*handle);
    std::free(handle);
}

// --- Handle procs ---------------------------------------------------------------

Handle HostNew(int32_t) { return MakeHandle(false); }
void HostDispose(Handle handle) {
    FUZZ_CHECK(gHostHandles.erase(handle) == 1, "a handle disposed that the host's procs did not make");
    ReleaseHandle(handle);
}
int32_t HostGetSize(Handle) { return 16; }
OSErr HostSetSize(Handle, int32_t) { return host::memFullErr; }
Ptr HostLock(Handle handle, Boolean) { return *handle; }
void HostUnlock(Handle) {}
void HostRecoverSpace(int32_t) {}

// --- Read procs -------------------------------------------------------------------

struct SReading {
    bool open = false;
    int closes = 0;
    DescriptorKeyID* keys = nullptr;
    DescriptorKeyID current = 0;
    // What the rules make of the values handed over so far.
    int depth = -1;
    int white = -1;
};
SReading gReading;
const int kToken = 0x5eed;

OSErr AnyResult() { return fuzz_host::AnyAnswer(*gInput); }

using fuzz_host::Taken;

PIReadDescriptor OpenRead(PIDescriptorHandle, DescriptorKeyID* keys) {
    FUZZ_CHECK(!gReading.open, "a second reader opened");
    FUZZ_CHECK(keys, "no key list");
    int n = 0;
    while (keys[n] != 0) FUZZ_CHECK(++n <= 2, "the key list is not the plug-in's two keys");
    if (gInput->ConsumeBool()) return nullptr;
    gReading.open = true;
    gReading.keys = keys;
    return reinterpret_cast<PIReadDescriptor>(intptr_t(kToken));
}

OSErr CloseRead(PIReadDescriptor token) {
    FUZZ_CHECK(token == reinterpret_cast<PIReadDescriptor>(intptr_t(kToken)) && gReading.open,
               "closed a reader that is not open");
    gReading.open = false;
    ++gReading.closes;
    return AnyResult();
}

Boolean GetKey(PIReadDescriptor, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    FUZZ_CHECK(gReading.open, "a key asked of a closed reader");
    // A host that never runs out must be given up on, not followed forever.
    if (gInput->remaining_bytes() == 0) return gInput->ConsumeBool() ? 0 : 1;
    if (!gInput->ConsumeBool()) return 0;
    switch (gInput->ConsumeIntegralInRange(0, 3)) {
        case 0:
            gReading.current = kKeyMaxDepth;
            break;
        case 1:
            gReading.current = kKeyPaintWhite;
            break;
        case 2:
            gReading.current = 0;
            break;
        default:
            gReading.current = gInput->ConsumeIntegral<uint32_t>();
    }
    *key = gReading.current;
    *type = gInput->ConsumeIntegral<uint32_t>();
    *flags = gInput->ConsumeIntegral<int32_t>();
    // Hosts clear each key of the list as they hand it out.
    for (int i = 0; gReading.keys[i] != 0; ++i)
        if (gReading.keys[i] == gReading.current && gInput->ConsumeBool()) gReading.keys[i] = 0;
    return 1;
}

OSErr GetInteger(PIReadDescriptor, int32_t* value) {
    FUZZ_CHECK(gReading.current == kKeyMaxDepth, "an integer asked for a key that is not the depth");
    const OSErr result = AnyResult();
    const int32_t given = gInput->ConsumeIntegral<int32_t>();
    // A refusing host leaves the variable alone; some fill it anyway.
    if (Taken(result) || gInput->ConsumeBool()) *value = given;
    if (Taken(result)) gReading.depth = uint16_t(given);
    return result;
}

OSErr GetBoolean(PIReadDescriptor, Boolean* value) {
    FUZZ_CHECK(gReading.current == kKeyPaintWhite, "a boolean asked for a key that is not paint-white");
    const OSErr result = AnyResult();
    const Boolean given = gInput->ConsumeIntegral<uint8_t>();
    if (Taken(result) || gInput->ConsumeBool()) *value = given;
    if (Taken(result)) gReading.white = given != 0;
    return result;
}

// --- Write procs ------------------------------------------------------------------

struct SWriting {
    bool open = false;
    std::vector<std::pair<DescriptorKeyID, int32_t>> puts;
    Handle made = nullptr;
    bool closed = false;
};
SWriting gWriting;

PIWriteDescriptor OpenWrite() {
    if (gInput->ConsumeBool()) return nullptr;
    gWriting.open = true;
    return reinterpret_cast<PIWriteDescriptor>(intptr_t(kToken + 1));
}

OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* created) {
    FUZZ_CHECK(token == reinterpret_cast<PIWriteDescriptor>(intptr_t(kToken + 1)) && gWriting.open,
               "closed a writer that is not open");
    gWriting.open = false;
    gWriting.closed = true;
    gWriting.made = gInput->ConsumeBool() ? MakeHandle(false) : nullptr;
    *created = gWriting.made;
    return AnyResult();
}

OSErr PutInteger(PIWriteDescriptor, DescriptorKeyID key, int32_t value) {
    FUZZ_CHECK(gWriting.open, "put into a closed writer");
    gWriting.puts.emplace_back(key, value);
    return AnyResult();
}

OSErr PutBoolean(PIWriteDescriptor, DescriptorKeyID key, Boolean value) {
    FUZZ_CHECK(gWriting.open, "put into a closed writer");
    gWriting.puts.emplace_back(key, value);
    return AnyResult();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    gInput = &in;
    gReading = SReading{};
    gWriting = SWriting{};

    HandleProcs handleProcs = fuzz_host::HandleTable(HostNew, HostDispose, HostGetSize, HostSetSize, HostLock,
                                                     HostUnlock, HostRecoverSpace);
    handleProcs.handleProcsVersion = in.ConsumeIntegralInRange<int16_t>(0, 2);
    handleProcs.numHandleProcs = in.ConsumeIntegralInRange<int16_t>(6, 8);
    const bool handleTable = in.ConsumeBool();
    // The host makes its descriptors the way the plug-in will dispose of
    // them: with its procs when they are usable, else as platform memory.
    const bool usableProcs = handleTable && HandleProcsAvailable(&handleProcs);

    ReadDescriptorProcs readProcs =
        fuzz_host::ReadTable({OpenRead, CloseRead, GetKey, GetInteger, GetBoolean});
    WriteDescriptorProcs writeProcs = fuzz_host::WriteTable({OpenWrite, CloseWrite, PutInteger, PutBoolean});
    // Older, newer or incomplete tables make a host without descriptors.
    if (in.ConsumeIntegralInRange(0, 7) == 0) readProcs.readDescriptorProcsVersion = 1;
    if (in.ConsumeIntegralInRange(0, 7) == 0) writeProcs.numWriteDescriptorProcs = 15;

    PIDescriptorParameters parameters{};
    parameters.descriptorParametersVersion = in.ConsumeIntegralInRange(0, 7) == 0 ? 1 : 0;
    parameters.playInfo = in.ConsumeIntegralInRange<int16_t>(0, 3);
    parameters.recordInfo = 3;
    parameters.readDescriptorProcs = &readProcs;
    parameters.writeDescriptorProcs = &writeProcs;
    const Handle given = in.ConsumeBool() ? MakeHandle(!usableProcs) : nullptr;
    parameters.descriptor = given;
    const bool available = DescriptorProcsAvailable(&parameters);

    FilterRecord record{};
    record.handleProcs = handleTable ? &handleProcs : nullptr;
    record.descriptorParameters = in.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : &parameters;
    const bool reachable = available && record.descriptorParameters;

    CVandrelParams params;
    params.maxDepth = in.ConsumeIntegral<uint16_t>();
    params.remainder = in.ConsumeBool() ? 'W' : 'B';
    const CVandrelParams before = params;

    // Reading.
    const bool dialog = ReadScriptParams(record, params);
    FUZZ_CHECK(!gReading.open, "the reader was left open");
    if (!reachable) {
        FUZZ_CHECK(dialog, "a host without descriptors must show the dialog");
        FUZZ_CHECK(gReading.closes == 0, "a host without descriptors was read");
    } else {
        FUZZ_CHECK(dialog == (parameters.playInfo == host::plugInDialogDisplay),
                   "the dialog rule was not kept");
        const int expectedDepth = gReading.depth >= 0 ? gReading.depth : before.maxDepth;
        const char expectedRemainder = gReading.white >= 0 ? (gReading.white ? 'W' : 'B') : before.remainder;
        FUZZ_CHECK(params.maxDepth == expectedDepth, "the depth is not the last one the host vouched for");
        FUZZ_CHECK(params.remainder == expectedRemainder,
                   "paint-white is not the last one the host vouched for");
        if (gReading.closes) FUZZ_CHECK(parameters.descriptor == nullptr, "a read descriptor was kept");
    }
    const bool readTaken = reachable && gReading.closes == 1;
    FUZZ_CHECK(!given || readTaken || parameters.descriptor == given, "an unread descriptor was touched");
    if (given && readTaken) {
        // Disposed by the plug-in: the way it was made, and only once.
        FUZZ_CHECK(!gHostHandles.count(given), "a read descriptor was not given back");
        gPlatformHandles.erase(given);  // freed by the plug-in itself
    }

    // Writing.
    const Handle held = parameters.descriptor;
    WriteScriptParams(record, params);
    FUZZ_CHECK(!gWriting.open, "the writer was left open");
    if (!reachable || !gWriting.closed) {
        FUZZ_CHECK(parameters.descriptor == held, "the host's descriptor changed without a writer");
        FUZZ_CHECK(gWriting.puts.empty(), "put without a writer");
    } else {
        const std::vector<std::pair<DescriptorKeyID, int32_t>> expected = {
            {kKeyPaintWhite, params.remainder == 'W' ? 1 : 0}, {kKeyMaxDepth, params.maxDepth}};
        FUZZ_CHECK(gWriting.puts == expected, "not paint-white then the depth");
        FUZZ_CHECK(parameters.descriptor == gWriting.made, "the written descriptor is not the host's");
        FUZZ_CHECK(parameters.recordInfo == host::plugInDialogOptional, "the dialog was not made optional");
        if (held) {
            FUZZ_CHECK(!gHostHandles.count(held), "the replaced descriptor was not given back");
            gPlatformHandles.erase(held);
        }
    }

    // Whatever the host still holds is the host's to free.
    for (Handle handle : gHostHandles) ReleaseHandle(handle);
    for (Handle handle : gPlatformHandles) ReleaseHandle(handle);
    gHostHandles.clear();
    gPlatformHandles.clear();
    gInput = nullptr;
    return 0;
}
