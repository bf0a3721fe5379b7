// Ways in which real hosts depart from how the filter plug-in interface is
// documented. A plug-in runs inside whichever host the user has, so each of
// these is played by the simulator on request, one named option at a time.
// Everything is off by default: the simulator then behaves as the interface
// is documented.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/HostInterface.h"

namespace sim {

// Records of hosts built against older interface versions are shorter. One
// of the 6.0 era ends after canUseICCProfiles and a reserve of 54 bytes; the
// shortest that still holds every field this plug-in reads ends right after
// canUseICCProfiles itself.
constexpr size_t kOlderRecordBytes = sizeof(void*) == 4 ? 452 : 556;
constexpr size_t kRecordEndingAtIccProfiles = offsetof(FilterRecord, canUseICCProfiles) + sizeof(int32_t);

struct SHostQuirks {
    // The data slot is not kept from call to call: every selector finds it
    // empty, whatever the plug-in stored in it before.
    bool dropsDataSlot = false;

    // The parameters handle is not kept from one run to the next: the host
    // disposes it when a run ends, and the next run starts without one.
    bool dropsParametersHandle = false;

    // A run whose Parameters, Prepare or Start failed, or whose dialog was
    // cancelled, still goes on to Continue and Finish.
    bool finishesAfterFailure = false;

    // After Start, whatever it returned, the host delivers what the
    // rectangles ask for and calls Continue, for as long as either rectangle
    // is non-empty.
    bool continuesWhileRectsNonEmpty = false;
    // Before each of this many Continue calls the host puts the whole image
    // back into both rectangles itself, as a host does that sets up every
    // call's request from its own filter rectangle.
    int refilledContinues = 0;

    // The filter record is this many bytes long (0: the whole record of the
    // current interface), with nothing the plug-in may touch after it.
    size_t shortRecordBytes = 0;

    // Every run gets a filter record of its own at a new address; the one
    // of the previous run is discarded and must never be touched again.
    bool newRecordEachRun = false;
    // Every selector but About gets a filter record of its own at a new
    // address, its fields carried over; the one of the previous call is
    // discarded and must never be touched again.
    bool newRecordEachCall = false;

    // The record's handleProcs is null.
    bool handleProcsMissing = false;
    // The version and count the handle procs table declares.
    int16_t handleProcsVersion = host::kCurrentHandleProcsVersion;
    int16_t handleProcsCount = host::kHandleProcsCount;
};

}  // namespace sim
