// The window-system calls of the dialogs: Windows' own, or on other systems
// a headless stand-in with the same names and behaviour, so that each
// dialog procedure has one source for every platform.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#else
#include "ui/linux/Win32StandIn.h"
#endif

#include "host/HostInterface.h"

// The host window that owns our dialogs, from the host's platform data.
inline HWND HostWindow(const void* platformData) {
    return platformData ? reinterpret_cast<HWND>(static_cast<const PlatformData*>(platformData)->hwnd) : nullptr;
}
