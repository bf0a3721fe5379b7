#include "ui/ParamsDialogLogic.h"

#include <algorithm>
#include <cstdint>

SDepthEntry CheckDepthEntry(unsigned fieldValue) {
    // Read unsigned, judged signed: anything past the largest signed number
    // counts as below the minimum, as an empty field does.
    const int depth = static_cast<int>(fieldValue);
    if (depth < kMinDepthUi) return {kMinDepthUi, true};
    if (depth > kMaxDepthUi) return {kMaxDepthUi, true};
    return {depth, false};
}

ESliderSource SliderSourceOf(unsigned scrollCode) {
    // Line and page moves, thumb position and track, top, bottom, end of
    // track: 0..8. While the thumb is dragged the message carries its
    // position; every other move has already set the slider's.
    constexpr unsigned kThumbPosition = 4;
    constexpr unsigned kThumbTrack = 5;
    constexpr unsigned kEndTrack = 8;
    if (scrollCode > kEndTrack) return ESliderSource::Ignored;
    if (scrollCode == kThumbPosition || scrollCode == kThumbTrack) return ESliderSource::Thumb;
    return ESliderSource::Slider;
}

void ConfirmParams(CVandrelParams& record, bool paintWhite, unsigned fieldValue) {
    record.remainder = paintWhite ? kPaintWhite : kLeaveBlack;
    record.maxDepth = static_cast<uint16_t>(fieldValue & 0xFFFF);
}

SParamsDialogState OpenParamsDialog(const CVandrelParams& record) {
    // Setting the field to the stored depth is itself an entry the dialog checks.
    return {CheckDepthEntry(record.maxDepth).depth, record.PaintsWhite()};
}

void TypeDepth(SParamsDialogState& state, unsigned typed) { state.depth = CheckDepthEntry(typed).depth; }

void MoveSlider(SParamsDialogState& state, int position) {
    state.depth = std::clamp(position, kMinDepthUi, kMaxDepthUi);
}
