// What the parameters dialog does with what the user gives it, apart from
// the window system: the depth's bounds, how the field and the slider
// follow each other, and what OK stores. The Windows dialog procedure asks
// these at each message; the Linux stand-in plays whole answers with them.
#pragma once

#include "params/VandrelParams.h"

// The depths the dialog offers; the record itself may hold others.
constexpr int kMinDepthUi = 1;
constexpr int kMaxDepthUi = 300;

// The depth field after the dialog has looked at its value (read as an
// unsigned number, 0 when empty or unreadable).
struct SDepthEntry {
    int depth;      // what the field and the slider then show
    bool replaced;  // the field's text must be set to `depth`
};
SDepthEntry CheckDepthEntry(unsigned fieldValue);

// Where the field takes its new value from when the slider reports a move
// with the given scroll code.
enum class ESliderSource {
    Ignored,  // a code the dialog does not act on
    Thumb,    // the position the message carries (the thumb is held)
    Slider,   // the slider's own position, already moved
};
ESliderSource SliderSourceOf(unsigned scrollCode);

// OK: the box's state and the field's value into the record; only the low
// 16 bits of the field's value fit.
void ConfirmParams(CVandrelParams& record, bool paintWhite, unsigned fieldValue);

// The dialog as the user sees it between two actions.
struct SParamsDialogState {
    int depth;  // field and slider alike
    bool paintWhite;
};
// As it opens on `record`: the depth brought into range.
SParamsDialogState OpenParamsDialog(const CVandrelParams& record);
// The field's text replaced by `typed`.
void TypeDepth(SParamsDialogState& state, unsigned typed);
// The slider moved to `position`, which it keeps within its range.
void MoveSlider(SParamsDialogState& state, int position);
