// The parameters dialog: Black Pixel Depth as an edit field and a slider
// that follow each other, and the paint-white check box.
#pragma once

#include "ui/DialogApi.h"

// The depths the dialog offers; the record itself may hold others.
constexpr int kMinDepthUi = 1;
constexpr int kMaxDepthUi = 300;

// Edits the current filter's params; they change only on OK.
INT_PTR CALLBACK ParamsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
