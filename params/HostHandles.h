// Disposal of host handles, with or without the host's handle procs.
#pragma once

#include <optional>

#include "hostapi/HostInterface.h"

// True only for a version 1 table that declares all eight procs and offers
// the four that every handle needs.
bool HandleProcsAvailable(const HandleProcs* handleProcs);

// Gives a handle the host made back to the host. Without usable handle
// procs the handle is taken to be the platform's two-block handle (a master
// block holding the address of the data block) and freed as such; a null
// handle is ignored.
void DisposeHostHandle(const HandleProcs* handleProcs, Handle handle);

// The size of a handle's block when the host can tell it, so that nothing
// reads or writes past a block that is shorter than expected.
std::optional<int32_t> HostHandleSize(const HandleProcs* handleProcs, Handle handle);

// The platform part of DisposeHostHandle: frees both blocks of a two-block
// handle. Windows hosts make them from global memory; the Linux stand-in
// takes blocks from malloc, which is what the host simulator hands out when
// a test takes the handle procs away.
void FreeTwoBlockHandle(Handle handle);
