// The entry point of Vandrel Pro: the one name its PiPL gives the host.
#include "host/FilterEntry.h"
#include "host/PluginExport.h"
#include "host/VandrelFilter.h"

namespace {

CPSFilter* CreateVandrelFilter() { return new CVandrelFilter; }

}  // namespace

VANDREL_EXPORT void PluginMain(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) {
    EnterFilter(selector, paramBlock, data, result, CreateVandrelFilter);
}
