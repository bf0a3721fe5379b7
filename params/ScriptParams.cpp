#include "params/ScriptParams.h"

#include <initializer_list>

#include "params/HostHandles.h"

namespace {

bool AllPresent(std::initializer_list<bool> procs) {
    for (bool present : procs)
        if (!present) return false;
    return true;
}

bool ReadTableComplete(const ReadDescriptorProcs& t) {
    return t.readDescriptorProcsVersion == host::kCurrentReadDescriptorProcsVersion &&
           t.numReadDescriptorProcs >= host::kReadDescriptorProcsCount &&
           AllPresent({t.openReadDescriptorProc != nullptr, t.closeReadDescriptorProc != nullptr,
                       t.getKeyProc != nullptr, t.getIntegerProc != nullptr, t.getFloatProc != nullptr,
                       t.getUnitFloatProc != nullptr, t.getBooleanProc != nullptr, t.getTextProc != nullptr,
                       t.getAliasProc != nullptr, t.getEnumeratedProc != nullptr, t.getClassProc != nullptr,
                       t.getSimpleReferenceProc != nullptr, t.getObjectProc != nullptr,
                       t.getCountProc != nullptr, t.getStringProc != nullptr,
                       t.getPinnedIntegerProc != nullptr, t.getPinnedFloatProc != nullptr,
                       t.getPinnedUnitFloatProc != nullptr});
}

bool WriteTableComplete(const WriteDescriptorProcs& t) {
    return t.writeDescriptorProcsVersion == host::kCurrentWriteDescriptorProcsVersion &&
           t.numWriteDescriptorProcs >= host::kWriteDescriptorProcsCount &&
           AllPresent({t.openWriteDescriptorProc != nullptr, t.closeWriteDescriptorProc != nullptr,
                       t.putIntegerProc != nullptr, t.putFloatProc != nullptr, t.putUnitFloatProc != nullptr,
                       t.putBooleanProc != nullptr, t.putTextProc != nullptr, t.putAliasProc != nullptr,
                       t.putEnumeratedProc != nullptr, t.putClassProc != nullptr,
                       t.putSimpleReferenceProc != nullptr, t.putObjectProc != nullptr,
                       t.putCountProc != nullptr, t.putStringProc != nullptr, t.putScopedClassProc != nullptr,
                       t.putScopedObjectProc != nullptr});
}

// A get proc that refuses the value (a key of another type answers -50)
// leaves its output as it was, so only a value the host vouches for is
// taken; a coerced one is still a value.
bool GotValue(OSErr result) { return result == host::noErr || result == host::coercedParamErr; }

// No action of ours holds more than a handful of keys; a reader that keeps
// answering "more" past this is broken, and the host's thread must not hang
// in it.
constexpr int kMaxKeysRead = 4096;

}  // namespace

bool DescriptorProcsAvailable(const PIDescriptorParameters* descriptorParameters) {
    return descriptorParameters &&
           descriptorParameters->descriptorParametersVersion == host::kCurrentDescriptorParametersVersion &&
           descriptorParameters->readDescriptorProcs && descriptorParameters->writeDescriptorProcs &&
           ReadTableComplete(*descriptorParameters->readDescriptorProcs) &&
           WriteTableComplete(*descriptorParameters->writeDescriptorProcs);
}

void CloseScriptReader(PIDescriptorParameters* descriptorParameters, const HandleProcs* handleProcs,
                       PIReadDescriptor& token) {
    descriptorParameters->readDescriptorProcs->closeReadDescriptorProc(token);
    DisposeHostHandle(handleProcs, descriptorParameters->descriptor);
    descriptorParameters->descriptor = nullptr;
    token = nullptr;
}

void CloseScriptWriter(PIDescriptorParameters* descriptorParameters, const HandleProcs* handleProcs,
                       PIWriteDescriptor& token) {
    if (descriptorParameters->descriptor) {
        DisposeHostHandle(handleProcs, descriptorParameters->descriptor);
        descriptorParameters->descriptor = nullptr;
    }
    PIDescriptorHandle created = nullptr;
    descriptorParameters->writeDescriptorProcs->closeWriteDescriptorProc(token, &created);
    descriptorParameters->descriptor = created;
    descriptorParameters->recordInfo = host::plugInDialogOptional;
    token = nullptr;
}

bool ReadScriptKeys(FilterRecord& record, DescriptorKeyID* keys, const FTakeScriptKey& take) {
    PIDescriptorParameters* descriptors = record.descriptorParameters;
    if (!DescriptorProcsAvailable(descriptors)) return true;

    const ReadDescriptorProcs& reader = *descriptors->readDescriptorProcs;
    PIReadDescriptor token = reader.openReadDescriptorProc(descriptors->descriptor, keys);
    if (token) {
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        int32_t flags = 0;
        for (int read = 0; read < kMaxKeysRead && reader.getKeyProc(token, &key, &type, &flags); ++read) {
            const SScriptValues values{
                [&](int32_t& value) { return GotValue(reader.getIntegerProc(token, &value)); },
                [&](Boolean& value) { return GotValue(reader.getBooleanProc(token, &value)); }};
            take(key, values);
        }
        CloseScriptReader(descriptors, record.handleProcs, token);
    }
    return descriptors->playInfo == host::plugInDialogDisplay;
}

void WriteScriptKeys(FilterRecord& record, const FPutScriptKeys& put) {
    PIDescriptorParameters* descriptors = record.descriptorParameters;
    if (!DescriptorProcsAvailable(descriptors)) return;

    const WriteDescriptorProcs& writer = *descriptors->writeDescriptorProcs;
    PIWriteDescriptor token = writer.openWriteDescriptorProc();
    if (!token) return;
    // A failed put leaves the key out of the action; nothing better can be
    // done about it here, and the filter run itself has succeeded.
    put([&](DescriptorKeyID key, int32_t value) { writer.putIntegerProc(token, key, value); },
        [&](DescriptorKeyID key, bool value) { writer.putBooleanProc(token, key, value ? 1 : 0); });
    CloseScriptWriter(descriptors, record.handleProcs, token);
}

bool ReadScriptParams(FilterRecord& record, CVandrelParams& params) {
    // The host clears each entry as it returns that key: the list must be
    // ours to change and live until the reader is closed.
    DescriptorKeyID keys[] = {kKeyMaxDepth, kKeyPaintWhite, 0};
    return ReadScriptKeys(record, keys, [&](DescriptorKeyID key, const SScriptValues& values) {
        if (key == kKeyMaxDepth) {
            int32_t depth = 0;
            // Only the low 16 bits count, unclamped: -1 is 65535.
            if (values.integer(depth)) params.maxDepth = uint16_t(depth);
        } else if (key == kKeyPaintWhite) {
            Boolean white = 0;
            if (values.boolean(white)) params.remainder = white ? kPaintWhite : kLeaveBlack;
        }
    });
}

void WriteScriptParams(FilterRecord& record, const CVandrelParams& params) {
    WriteScriptKeys(record, [&](const FPutInteger& putInteger, const FPutBoolean& putBoolean) {
        putBoolean(kKeyPaintWhite, params.PaintsWhite());
        putInteger(kKeyMaxDepth, int32_t(params.maxDepth));
    });
}
