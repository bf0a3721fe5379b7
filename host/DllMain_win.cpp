// The Windows load notification: the module handle is what the dialogs and
// resource lookups need. Loading does nothing else; everything a filter run
// needs is created by the first selector.
#if defined(_WIN32)
#include <windows.h>

#include "host/PluginGlobals.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) gModuleInstance = instance;
    return TRUE;
}
#endif
