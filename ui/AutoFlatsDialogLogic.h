// What Vandrel Auto Flats' parameters dialog does with what the user gives
// it, apart from the window system: the fields' bounds and what OK stores.
// The Windows dialog procedure asks these at each message; the Linux
// stand-in plays whole answers with them.
#pragma once

#include "params/AutoFlatsParams.h"

// The widest gap the dialog offers; 0 leaves the choice to the page's size.
constexpr unsigned kMaxGapUi = 64;
// The largest smallest-region the dialog offers, in pixels; 0 leaves the
// choice to the gap.
constexpr unsigned kMaxMinRegionUi = 100000;

struct SAutoFlatsDialogState {
    unsigned gap;
    unsigned minRegion;
    bool spotBlacksRegions;
};

// As it opens on `record`: each value brought into the dialog's range.
SAutoFlatsDialogState OpenAutoFlatsDialog(const CAutoFlatsParams& record);

// A field's text after the dialog has looked at it (read as an unsigned
// number, 0 when empty or unreadable): kept within its range.
unsigned CheckGapEntry(unsigned fieldValue);
unsigned CheckMinRegionEntry(unsigned fieldValue);

// OK: what the dialog shows into the record.
void ConfirmAutoFlatsParams(CAutoFlatsParams& record, const SAutoFlatsDialogState& shown);
