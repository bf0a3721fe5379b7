// The parameter record in the host's action descriptors: read when an
// action is played, written so that the host can record one.
#pragma once

#include <functional>

#include "hostapi/HostInterface.h"
#include "resources/PluginCodes.h"  // the record's keys: kKeyMaxDepth, kKeyPaintWhite
#include "params/VandrelParams.h"

// True only for version 0 parameters whose read table (version 0) offers
// its first 18 procs and whose write table (version 0) its first 16.
bool DescriptorProcsAvailable(const PIDescriptorParameters* descriptorParameters);

// Closes a reader and disposes the descriptor it read, which is ours once
// read; both the descriptor and the token end up null.
void CloseScriptReader(PIDescriptorParameters* descriptorParameters, const HandleProcs* handleProcs,
                       PIReadDescriptor& token);

// Closes a writer and puts the descriptor it produced in place of the old
// one, which is disposed; the host may record the new one in an action.
void CloseScriptWriter(PIDescriptorParameters* descriptorParameters, const HandleProcs* handleProcs,
                       PIWriteDescriptor& token);

// A key's value as the host hands it over: true when the host vouches for
// it (a refused get leaves `value` as it was).
struct SScriptValues {
    std::function<bool(int32_t& value)> integer;
    std::function<bool(Boolean& value)> boolean;
};
using FTakeScriptKey = std::function<void(DescriptorKeyID key, const SScriptValues& values)>;

// Reads the host's descriptor for the `keys` (zero-ended, ours to change
// until the reader is closed), each key it returns handed to `take`; a
// reader that never runs out of keys is abandoned after a few thousand.
// Returns whether the dialog is to be shown: when the host asks for it,
// and always when it offers no complete descriptor support.
bool ReadScriptKeys(FilterRecord& record, DescriptorKeyID* keys, const FTakeScriptKey& take);

using FPutInteger = std::function<void(DescriptorKeyID key, int32_t value)>;
using FPutBoolean = std::function<void(DescriptorKeyID key, bool value)>;
using FPutScriptKeys = std::function<void(const FPutInteger&, const FPutBoolean&)>;

// Replaces the descriptor by one holding what `put` puts, in that order.
void WriteScriptKeys(FilterRecord& record, const FPutScriptKeys& put);

// Takes the values the descriptor holds into the record and says whether
// the dialog is to be shown: when the host asks for it, and always when it
// offers no complete descriptor support.
bool ReadScriptParams(FilterRecord& record, CVandrelParams& params);

// Replaces the descriptor by one holding the record's values.
void WriteScriptParams(FilterRecord& record, const CVandrelParams& params);
