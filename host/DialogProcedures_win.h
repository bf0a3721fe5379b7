// The two dialog procedures of the plug-in's Windows dialogs. Each finds
// what it shows and edits through the current filter object.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The parameters dialog: edits the filter's params, which change only on OK.
INT_PTR CALLBACK ParamsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The About box: the filter's texts, and its web button.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
