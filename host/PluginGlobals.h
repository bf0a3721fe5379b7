// Process-wide state of the plug-in. The host calls us on one thread, one
// call at a time, so these are plain variables.
#pragma once

#include "hostapi/HostInterface.h"

class CPSFilter;

// HINSTANCE on Windows; the module base on Linux.
using ModuleHandle = void*;

extern SPBasicSuite* gBasicSuite;
extern CPSFilter* gFilter;
extern ModuleHandle gModuleInstance;
