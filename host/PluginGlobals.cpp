#include "host/PluginGlobals.h"

SPBasicSuite* gBasicSuite = nullptr;
CPSFilter* gFilter = nullptr;
ModuleHandle gModuleInstance = nullptr;
