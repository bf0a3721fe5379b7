// The host's tables of procs as the fuzz targets hand them over: complete
// tables of the current version, in which every proc a target does not
// give answers that it was never to be called.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/FuzzChecks.h"
#include "hostapi/HostInterface.h"

namespace fuzz_host {

// What a host's get or put proc may answer: mostly yes, now and then a
// coerced value, a refusal, the wrong type or any code at all.
inline OSErr AnyAnswer(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0:
        case 1:
            return host::noErr;
        case 2:
            return host::coercedParamErr;
        case 3:
            return host::paramErr;
        case 4:
            return -1700;  // the wrong type
        default:
            return in.ConsumeIntegral<int16_t>();
    }
}

// Whether the host vouched for the value it answered with.
inline bool Taken(OSErr answer) { return answer == host::noErr || answer == host::coercedParamErr; }

template <typename Proc>
struct SNeverCalled;
template <typename Result, typename... Args>
struct SNeverCalled<Result (*)(Args...)> {
    static Result Answer(Args...) {
        FUZZ_CHECK(false, "a proc the plug-in has no use for was called");
        return Result{};
    }
};

template <typename Proc>
Proc NeverCalled() {
    return &SNeverCalled<Proc>::Answer;
}

// The procs of ReadDescriptorProcs the plug-in calls; the rest never.
struct SReadProcs {
    decltype(ReadDescriptorProcs::openReadDescriptorProc) open;
    decltype(ReadDescriptorProcs::closeReadDescriptorProc) close;
    decltype(ReadDescriptorProcs::getKeyProc) getKey;
    decltype(ReadDescriptorProcs::getIntegerProc) getInteger;
    decltype(ReadDescriptorProcs::getBooleanProc) getBoolean;
};

inline ReadDescriptorProcs ReadTable(const SReadProcs& given) {
    ReadDescriptorProcs t{};
    t.readDescriptorProcsVersion = host::kCurrentReadDescriptorProcsVersion;
    t.numReadDescriptorProcs = host::kReadDescriptorProcsCount;
    t.openReadDescriptorProc = given.open;
    t.closeReadDescriptorProc = given.close;
    t.getKeyProc = given.getKey;
    t.getIntegerProc = given.getInteger;
    t.getBooleanProc = given.getBoolean;
    t.getFloatProc = NeverCalled<decltype(t.getFloatProc)>();
    t.getUnitFloatProc = NeverCalled<decltype(t.getUnitFloatProc)>();
    t.getTextProc = NeverCalled<decltype(t.getTextProc)>();
    t.getAliasProc = NeverCalled<decltype(t.getAliasProc)>();
    t.getEnumeratedProc = NeverCalled<decltype(t.getEnumeratedProc)>();
    t.getClassProc = NeverCalled<decltype(t.getClassProc)>();
    t.getSimpleReferenceProc = NeverCalled<decltype(t.getSimpleReferenceProc)>();
    t.getObjectProc = NeverCalled<decltype(t.getObjectProc)>();
    t.getCountProc = NeverCalled<decltype(t.getCountProc)>();
    t.getStringProc = NeverCalled<decltype(t.getStringProc)>();
    t.getPinnedIntegerProc = NeverCalled<decltype(t.getPinnedIntegerProc)>();
    t.getPinnedFloatProc = NeverCalled<decltype(t.getPinnedFloatProc)>();
    t.getPinnedUnitFloatProc = NeverCalled<decltype(t.getPinnedUnitFloatProc)>();
    return t;
}

// The procs of WriteDescriptorProcs the plug-in calls; the rest never.
struct SWriteProcs {
    decltype(WriteDescriptorProcs::openWriteDescriptorProc) open;
    decltype(WriteDescriptorProcs::closeWriteDescriptorProc) close;
    decltype(WriteDescriptorProcs::putIntegerProc) putInteger;
    decltype(WriteDescriptorProcs::putBooleanProc) putBoolean;
};

inline WriteDescriptorProcs WriteTable(const SWriteProcs& given) {
    WriteDescriptorProcs t{};
    t.writeDescriptorProcsVersion = host::kCurrentWriteDescriptorProcsVersion;
    t.numWriteDescriptorProcs = host::kWriteDescriptorProcsCount;
    t.openWriteDescriptorProc = given.open;
    t.closeWriteDescriptorProc = given.close;
    t.putIntegerProc = given.putInteger;
    t.putBooleanProc = given.putBoolean;
    t.putFloatProc = NeverCalled<decltype(t.putFloatProc)>();
    t.putUnitFloatProc = NeverCalled<decltype(t.putUnitFloatProc)>();
    t.putTextProc = NeverCalled<decltype(t.putTextProc)>();
    t.putAliasProc = NeverCalled<decltype(t.putAliasProc)>();
    t.putEnumeratedProc = NeverCalled<decltype(t.putEnumeratedProc)>();
    t.putClassProc = NeverCalled<decltype(t.putClassProc)>();
    t.putSimpleReferenceProc = NeverCalled<decltype(t.putSimpleReferenceProc)>();
    t.putObjectProc = NeverCalled<decltype(t.putObjectProc)>();
    t.putCountProc = NeverCalled<decltype(t.putCountProc)>();
    t.putStringProc = NeverCalled<decltype(t.putStringProc)>();
    t.putScopedClassProc = NeverCalled<decltype(t.putScopedClassProc)>();
    t.putScopedObjectProc = NeverCalled<decltype(t.putScopedObjectProc)>();
    return t;
}

// A complete handle table of the current version; regular handles are
// disposed as the host's own.
inline HandleProcs HandleTable(NewPIHandleProc make, DisposePIHandleProc dispose, GetPIHandleSizeProc size,
                               SetPIHandleSizeProc resize, LockPIHandleProc lock, UnlockPIHandleProc unlock,
                               RecoverSpaceProc recoverSpace) {
    return {host::kCurrentHandleProcsVersion,
            host::kHandleProcsCount,
            make,
            dispose,
            size,
            resize,
            lock,
            unlock,
            recoverSpace,
            dispose};
}

}  // namespace fuzz_host
