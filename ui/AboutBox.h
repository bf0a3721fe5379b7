// The About box: product name in large type, version, copyright notice and
// a button to the maker's web page.
#pragma once

#include "ui/DialogApi.h"

// Reads its texts from the current filter object.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
