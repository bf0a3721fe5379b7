// What the About box does apart from the window system: the size of its
// title, the meaning of each command, and how its texts fit their buffer.
#pragma once

#include <algorithm>

// The title's font height for a screen of `logicalPixelsPerInch`: 28
// points, negative so that it asks for the character's height rather than
// the cell's. Rounded half away from zero, as the system's MulDiv rounds.
int TitleFontHeight(int logicalPixelsPerInch);

enum class EAboutCommand {
    LeftToSystem,  // not ours: the procedure answers FALSE
    Close,         // OK, or Cancel from the close box and the Escape key
    OpenHomePage,  // the web button; the box stays open
};
EAboutCommand AboutCommandOf(int controlId);

// The texts are shown from a buffer of this many UTF-16 units, terminator included.
constexpr int kDialogTextUnits = 128;

// How many leading units of a text of `length` UTF-16 units fit in that
// buffer with its terminator, without half a surrogate pair at the end
// (it would show as a broken character).
template <typename Unit>
int DialogTextUnitsToKeep(const Unit* text, int length) {
    int keep = std::clamp(length, 0, kDialogTextUnits - 1);
    if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
    return keep;
}
