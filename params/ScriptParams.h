// The parameter record in the host's action descriptors: read when an
// action is played, written so that the host can record one.
#pragma once

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

// Takes the values the descriptor holds into the record and says whether
// the dialog is to be shown: when the host asks for it, and always when it
// offers no complete descriptor support.
bool ReadScriptParams(FilterRecord& record, CVandrelParams& params);

// Replaces the descriptor by one holding the record's values.
void WriteScriptParams(FilterRecord& record, const CVandrelParams& params);
