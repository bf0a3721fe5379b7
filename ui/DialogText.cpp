#include "ui/DialogText.h"

#include <algorithm>
#include <new>
#include <vector>

void Utf8ToDialogText(const char* text, WCHAR (&buffer)[kDialogTextUnits]) {
    buffer[0] = 0;
    if (!text) return;
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, kDialogTextUnits) > 0) return;

    // A text too long for the buffer fails to convert and leaves the buffer
    // unterminated; convert it whole and keep the head.
    buffer[0] = 0;
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (needed <= 0) return;
    try {
        std::vector<WCHAR> whole(size_t(needed), 0);
        if (MultiByteToWideChar(CP_UTF8, 0, text, -1, whole.data(), needed) != needed) return;
        int keep = std::min(needed - 1, kDialogTextUnits - 1);
        // Half a surrogate pair would show as a broken character.
        if (keep > 0 && whole[size_t(keep - 1)] >= 0xD800 && whole[size_t(keep - 1)] <= 0xDBFF) --keep;
        std::copy_n(whole.begin(), keep, buffer);
        buffer[keep] = 0;
    } catch (const std::bad_alloc&) {
        // Nothing may be thrown through the window system: show an empty text instead.
        buffer[0] = 0;
    }
}
