#include "ui/AutoFlatsDialogLogic.h"

#include <algorithm>

unsigned CheckGapEntry(unsigned fieldValue) { return std::min(fieldValue, kMaxGapUi); }

unsigned CheckMinRegionEntry(unsigned fieldValue) { return std::min(fieldValue, kMaxMinRegionUi); }

SAutoFlatsDialogState OpenAutoFlatsDialog(const CAutoFlatsParams& record) {
    return {CheckGapEntry(record.maxGap), CheckMinRegionEntry(record.minRegion),
            record.SpotBlacksAreRegions()};
}

void ConfirmAutoFlatsParams(CAutoFlatsParams& record, const SAutoFlatsDialogState& shown) {
    record.maxGap = uint16_t(CheckGapEntry(shown.gap));
    record.minRegion = CheckMinRegionEntry(shown.minRegion);
    record.spotBlacks = shown.spotBlacksRegions ? kSpotBlacksRegions : kSpotBlacksLines;
}
