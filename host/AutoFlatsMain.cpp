// The entry point of Vandrel Auto Flats, in its own module: the one name
// its PiPL gives the host.
#include "host/AutoFlatsFilter.h"
#include "host/FilterEntry.h"
#include "host/PluginExport.h"

namespace {

CPSFilter* CreateAutoFlatsFilter() { return new CAutoFlatsFilter; }

}  // namespace

VANDREL_EXPORT void PluginMain(int16_t selector, void* paramBlock, intptr_t* data, int16_t* result) {
    EnterFilter(selector, paramBlock, data, result, CreateAutoFlatsFilter);
}
