// Texts shown in the dialogs: UTF-8 in the code, UTF-16 on the screen.
#pragma once

#include "ui/DialogApi.h"

constexpr int kDialogTextUnits = 128;

// Converts into a fixed buffer, always terminated. A text too long for it
// keeps as many whole characters as fit, and a null text becomes empty.
void Utf8ToDialogText(const char* text, WCHAR (&buffer)[kDialogTextUnits]);
